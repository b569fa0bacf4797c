// Every flag variable the commands read, set to a short token, so that no default shows and a
// test can compare commands and argument vectors whole. The tool names are each test's own.
#pragma once

#include <string>
#include <vector>

inline std::vector<std::string> token_flags() {
  return {
      "CPPFLAGS=-Icpp",
      "INCFLAGS=-Iinc",
      "XTRA_CFLAGS=-xc",
      "CFLAGS=-O1",
      "XTRA_CXXFLAGS=-xcxx",
      "CXXFLAGS=-O2",
      "FFLAGS=-O3",
      "F77_INTEGER8_FLAG=-i8",
      "FPICFLAG=-fpic-f",
      "CPICFLAG=-fpic-c",
      "CXXPICFLAG=-fpic-x",
      "DL_LDFLAGS=-shared",
      "LFLAGS=-Llib",
      "ZRV_LINK_OPTS=-zo",
      "ZRV_LINK_DEPS=-zd",
      "RDYNAMIC_FLAG=-rdynamic",
      "LD_STATIC_FLAG=-static-x",
      "LDFLAGS=-ldf",
      "ZORVAN_LINK_OPTS=-oo",
      "ZORVAN_LINK_DEPS=-od",
  };
}

// The tool variables, then the tokens.
inline std::vector<std::string> token_environment_with(std::vector<std::string> tools) {
  const std::vector<std::string> flags = token_flags();
  tools.insert(tools.end(), flags.begin(), flags.end());
  return tools;
}
