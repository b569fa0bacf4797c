subroutine dot_impl(x, result)
  use dotmod
  real, intent(in) :: x(3)
  real, intent(out) :: result
  result = dot(x, x)
end subroutine
