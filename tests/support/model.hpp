// The byte rule of the whole tool, written as plainly as possible and apart
// from the real code, to hold the real code against. It covers input from a
// file or a pipe (where the first 0x1A ends everything), and console input
// without 0x1A.
#pragma once

#include <string>

namespace zorezoru::model {

inline std::string filter(const std::string& raw) {
  const std::string text = raw.substr(0, raw.find('\x1A'));
  std::string out, line;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    if (text[i] != '\n') {
      line += text[i];
      continue;
    }
    out += (line.size() > 2 ? line.substr(2) : std::string()) + "\r\n";
    line.clear();
  }
  if (!line.empty()) out += (line.size() > 2 ? line.substr(2) : std::string()) + "\r\n";
  return out;
}

}  // namespace zorezoru::model
