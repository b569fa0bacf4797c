// Composing a command from its pieces: their exact concatenation, sized before it is built.
#pragma once

#include <cstring>
#include <string>

inline std::size_t piece_length(const std::string& piece) { return piece.size(); }
inline std::size_t piece_length(const char* piece) { return std::strlen(piece); }

// A compile command is composed for every source and the link command carries every object of
// the run; chained operator+ would regrow and copy the growing text piece after piece.
template <typename... Pieces>
std::string join_pieces(const Pieces&... pieces) {
  std::string command;
  command.reserve((piece_length(pieces) + ...));
  (command.append(pieces), ...);
  return command;
}
