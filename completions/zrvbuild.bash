# Bash completion for zrvbuild: option forms, configuration variable names after -p, directories
# after -I, -L and -idirafter, and file names with the suffixes zrvbuild takes as sources,
# objects and libraries. Installed as share/bash-completion/completions/zrvbuild; it can also be
# sourced directly.

# Forms that stand alone; -IDIR, -DDEF, -lLIB, -W... and the like carry their operand glued on.
# --version asks for the version line when it is the only argument.
_zrvbuild_options='-h -? --help -idirafter -M --depend -c --compile -o --output -g -p --print
  --link-stand-alone --mex -s --strip -n --just-print --dry-run -v --verbose --version'

_zrvbuild_variables='ALL_CFLAGS ALL_CXXFLAGS ALL_FFLAGS ALL_LDFLAGS AR BLAS_LIBS CC CFLAGS
  CPICFLAG CPPFLAGS CXX CXXFLAGS CXXPICFLAG DEPEND_EXTRA_SED_PATTERN DEPEND_FLAGS DL_LD
  DL_LDFLAGS F77 F77_INTEGER8_FLAG FFLAGS FFTW3F_LDFLAGS FFTW3F_LIBS FFTW3_LDFLAGS FFTW3_LIBS
  FFTW_LIBS FLIBS FPICFLAG INCFLAGS INCLUDEDIR LAPACK_LIBS LD_CXX LDFLAGS LD_STATIC_FLAG LFLAGS
  LIBDIR LIBZORVAN LIBZRVINTERP LIBS ZORVAN_HOME ZORVAN_LIBS ZORVAN_LINK_DEPS ZORVAN_LINK_OPTS
  ZORVAN_PREFIX ZRVINCLUDEDIR ZRVLIBDIR ZRV_LINK_DEPS ZRV_LINK_OPTS RANLIB RDYNAMIC_FLAG
  READLINE_LIBS SED SPECIAL_MATH_LIB XTRA_CFLAGS XTRA_CXXFLAGS'

_zrvbuild() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=
  ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
  COMPREPLY=()

  # mapfile rather than COMPREPLY=($(...)): no word splitting of names with blanks and no
  # globbing of forms such as -?.
  case $prev in
    -p | -print | --print)
      mapfile -t COMPREPLY < <(compgen -W "$_zrvbuild_variables" -- "$cur")
      return 0
      ;;
    -o | -output | --output)
      mapfile -t COMPREPLY < <(compgen -f -- "$cur")
      return 0
      ;;
    -idirafter)
      mapfile -t COMPREPLY < <(compgen -d -- "$cur")
      return 0
      ;;
  esac

  case $cur in
    -I* | -L*)
      # The directory is glued to the option, so the shell cannot tell it is a file name:
      # add the slash here and let the user go on typing.
      mapfile -t COMPREPLY < <(compgen -d -P "${cur:0:2}" -S / -- "${cur:2}")
      compopt -o nospace 2>/dev/null
      ;;
    -*)
      mapfile -t COMPREPLY < <(compgen -W "$_zrvbuild_options" -- "$cur")
      ;;
    *)
      local name
      while IFS= read -r name; do
        if [[ -d $name ]]; then
          COMPREPLY+=("$name")
          continue
        fi
        case $name in
          *.c | *.cc | *.cp | *.cpp | *.CPP | *.cxx | *.c++ | *.C | *.f | *.F | *.f90 | *.F90 | \
            *.o | *.obj | *.a | *.lib)
            COMPREPLY+=("$name")
            ;;
        esac
      done < <(compgen -f -- "$cur")
      ;;
  esac
  return 0
}

complete -o filenames -F _zrvbuild zrvbuild
