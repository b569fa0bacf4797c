// A small reader of JSON documents for the tests: it accepts exactly the JSON grammar (objects,
// arrays, strings with their escapes, numbers, true, false, null) and nothing after the value
// but white space, so a test can tell a valid document from a cut or broken one.
#pragma once

#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

struct json_value {
  enum class kind { null, boolean, number, string, array, object } type = kind::null;
  bool boolean = false;
  double number = 0;
  std::string text;
  std::vector<json_value> items;
  std::map<std::string, json_value> members;

  const json_value& at(const std::string& name) const {
    static const json_value missing;
    const auto it = members.find(name);
    return it == members.end() ? missing : it->second;
  }
};

class json_reader {
 public:
  explicit json_reader(const std::string& text) : text_(text) {}

  // False when the whole text is not one JSON value.
  bool read(json_value& value) {
    skip_blanks();
    if (!read_value(value))
      return false;
    skip_blanks();
    return at_ == text_.size();
  }

 private:
  void skip_blanks() {
    while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\n' || text_[at_] == '\t' ||
                                  text_[at_] == '\r'))
      ++at_;
  }

  bool take(char c) {
    skip_blanks();
    if (at_ < text_.size() && text_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }

  bool word(const char* expected) {
    const std::string w = expected;
    if (text_.compare(at_, w.size(), w) != 0)
      return false;
    at_ += w.size();
    return true;
  }

  bool read_string(std::string& out) {
    if (!take('"'))
      return false;
    while (at_ < text_.size()) {
      const char c = text_[at_++];
      if (c == '"')
        return true;
      if (static_cast<unsigned char>(c) < 0x20)
        return false;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (at_ >= text_.size())
        return false;
      const char e = text_[at_++];
      const std::string simple = "\"\\/bfnrt";
      const std::string meaning = "\"\\/\b\f\n\r\t";
      if (simple.find(e) != std::string::npos) {
        out += meaning[simple.find(e)];
      } else if (e == 'u' && at_ + 4 <= text_.size()) {
        const unsigned code = std::strtoul(text_.substr(at_, 4).c_str(), nullptr, 16);
        at_ += 4;
        out += code < 0x80 ? static_cast<char>(code) : '?';
      } else {
        return false;
      }
    }
    return false;
  }

  bool read_value(json_value& value) {
    skip_blanks();
    if (at_ >= text_.size())
      return false;
    const char c = text_[at_];
    if (c == '{') {
      value.type = json_value::kind::object;
      ++at_;
      if (take('}'))
        return true;
      do {
        std::string name;
        json_value member;
        skip_blanks();
        if (!read_string(name) || !take(':') || !read_value(member))
          return false;
        value.members[name] = member;
      } while (take(','));
      return take('}');
    }
    if (c == '[') {
      value.type = json_value::kind::array;
      ++at_;
      if (take(']'))
        return true;
      do {
        json_value item;
        if (!read_value(item))
          return false;
        value.items.push_back(item);
      } while (take(','));
      return take(']');
    }
    if (c == '"') {
      value.type = json_value::kind::string;
      return read_string(value.text);
    }
    if (word("true") || word("false")) {
      value.type = json_value::kind::boolean;
      value.boolean = text_[at_ - 1] == 'e' && text_[at_ - 2] == 'u';
      return true;
    }
    if (word("null"))
      return true;
    const char* start = text_.c_str() + at_;
    char* end = nullptr;
    value.number = std::strtod(start, &end);
    if (end == start || (c != '-' && (c < '0' || c > '9')))
      return false;
    value.type = json_value::kind::number;
    at_ += static_cast<std::size_t>(end - start);
    return true;
  }

  const std::string& text_;
  std::size_t at_ = 0;
};
