! The Fortran part of the example extension, callable from C and C++.
function zrv_sum_squares(values, count) bind(c, name='zrv_sum_squares') result(total)
  use iso_c_binding, only: c_double, c_int
  implicit none
  integer(c_int), value :: count
  real(c_double), intent(in) :: values(count)
  real(c_double) :: total
  total = sum(values**2)
end function zrv_sum_squares
