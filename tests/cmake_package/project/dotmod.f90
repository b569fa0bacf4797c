module dotmod
contains
  real function dot(a, b)
    real, intent(in) :: a(:), b(:)
    dot = sum(a * b)
  end function
end module
