# Settings for building Zorvan extensions with zrvbuild on a GNU/Linux host. Source it from a
# POSIX shell once ZORVAN_HOME names the environment's installation directory:
#
#   ZORVAN_HOME=/opt/zorvan; export ZORVAN_HOME; . profiles/gnu-linux.sh
#
# The installation keeps its headers in include/zorvan-VERSION/zorvan and its libraries in
# lib/zorvan/VERSION. With a single version installed it is found by itself; otherwise set
# ZORVAN_VERSION too.
#
# A zrvbuild of the standard configuration (the default build on every platform) carries the
# defaults of the Windows build of the environment: directories with backslashes, no
# position-independent code, and link lists naming Windows libraries and linker options. This
# file replaces those through the environment. A zrvbuild of the gnu-linux configuration (the
# Linux packages) carries these settings itself and needs no profile. An empty variable counts
# as unset, so a list that has to be empty is set to a single blank.

if [ -z "${ZORVAN_HOME:-}" ]; then
  echo "gnu-linux.sh: set ZORVAN_HOME to the Zorvan installation directory" >&2
  return 1
fi

if [ -z "${ZORVAN_VERSION:-}" ]; then
  for zrv_profile_dir in "$ZORVAN_HOME"/include/zorvan-*; do
    [ -d "$zrv_profile_dir" ] || continue
    if [ -n "${ZORVAN_VERSION:-}" ]; then
      echo "gnu-linux.sh: several versions under $ZORVAN_HOME/include; set ZORVAN_VERSION" >&2
      unset ZORVAN_VERSION zrv_profile_dir
      return 1
    fi
    ZORVAN_VERSION=${zrv_profile_dir##*/zorvan-}
  done
  unset zrv_profile_dir
  if [ -z "${ZORVAN_VERSION:-}" ]; then
    echo "gnu-linux.sh: no include/zorvan-VERSION directory under $ZORVAN_HOME" >&2
    return 1
  fi
fi

# Directories as zrvbuild puts them into commands: a name with a blank is double-quoted.
zrv_profile_quote() {
  case $1 in
    \"*) printf '%s' "$1" ;;
    *' '*) printf '"%s"' "$1" ;;
    *) printf '%s' "$1" ;;
  esac
}

# The environment's directories, with forward slashes.
ZRVINCLUDEDIR=$ZORVAN_HOME/include/zorvan-$ZORVAN_VERSION/zorvan
INCLUDEDIR=$ZORVAN_HOME/include
LIBDIR=$ZORVAN_HOME/lib
ZRVLIBDIR=$ZORVAN_HOME/lib/zorvan/$ZORVAN_VERSION
INCFLAGS="-I$(zrv_profile_quote "$ZRVINCLUDEDIR/..") -I$(zrv_profile_quote "$ZRVINCLUDEDIR")"
INCFLAGS="$INCFLAGS -I$(zrv_profile_quote "$INCLUDEDIR")"
CPPFLAGS="-I$(zrv_profile_quote "$INCLUDEDIR")"
LFLAGS="-L$(zrv_profile_quote "$ZRVLIBDIR") -L$(zrv_profile_quote "$LIBDIR")"

# Extension modules are shared objects.
FPICFLAG=-fPIC
CPICFLAG=-fPIC
CXXPICFLAG=-fPIC

# -mieee-fp exists on x86 only.
case $(uname -m) in
  i?86 | x86_64 | amd64) ;;
  *)
    FFLAGS="-g -O2"
    XTRA_CFLAGS=" -pthread -fopenmp"
    XTRA_CXXFLAGS=" -pthread -fopenmp"
    export FFLAGS XTRA_CFLAGS XTRA_CXXFLAGS
    ;;
esac

# Link lists. Fortran objects need the Fortran run-time library when g++ links them; modules
# and programs find the environment's libraries through their run path.
zrv_profile_fc=${F77:-gfortran}
if command -v "${zrv_profile_fc%% *}" > /dev/null 2>&1; then
  FLIBS="-lgfortran -lm"
else
  FLIBS="-lm"
fi
LIBS="-lm"
LDFLAGS=" "
ZRV_LINK_OPTS="-Wl,-rpath,$(zrv_profile_quote "$ZRVLIBDIR")"
ZRV_LINK_DEPS="$FLIBS"
ZORVAN_LINK_OPTS="-Wl,-rpath,$(zrv_profile_quote "$ZRVLIBDIR")"
ZORVAN_LINK_OPTS="$ZORVAN_LINK_OPTS -Wl,-rpath,$(zrv_profile_quote "$LIBDIR")"
ZORVAN_LINK_DEPS="$FLIBS"
unset zrv_profile_fc
unset -f zrv_profile_quote

export ZORVAN_HOME ZORVAN_VERSION ZRVINCLUDEDIR INCLUDEDIR LIBDIR ZRVLIBDIR INCFLAGS CPPFLAGS \
  LFLAGS FPICFLAG CPICFLAG CXXPICFLAG FLIBS LIBS LDFLAGS ZRV_LINK_OPTS ZRV_LINK_DEPS \
  ZORVAN_LINK_OPTS ZORVAN_LINK_DEPS
