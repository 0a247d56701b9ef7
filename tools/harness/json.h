// A small JSON value for the harness dump.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace harness {

class Json {
 public:
  enum Kind { Null, Bool, Number, String, Array, Object };

  Json() = default;
  Json(bool b) : kind_(Bool), bool_(b) {}
  Json(double d) : kind_(Number), number_(d) {}
  Json(int i) : kind_(Number), number_(i) {}
  Json(long i) : kind_(Number), number_(double(i)) {}
  Json(unsigned i) : kind_(Number), number_(i) {}
  Json(unsigned long i) : kind_(Number), number_(double(i)) {}
  Json(unsigned long long i) : kind_(Number), number_(double(i)) {}
  Json(const char* s) : kind_(String), string_(s) {}
  Json(std::string s) : kind_(String), string_(std::move(s)) {}

  static Json MakeArray() {
    Json j;
    j.kind_ = Array;
    return j;
  }
  static Json MakeObject() {
    Json j;
    j.kind_ = Object;
    return j;
  }

  Kind kind() const { return kind_; }
  double number() const { return number_; }
  const std::string& string() const { return string_; }

  Json& Push(Json v) {
    items_.push_back(std::move(v));
    return *this;
  }
  Json& Set(const std::string& key, Json v) {
    members_.emplace_back(key, std::move(v));
    return *this;
  }
  // A member or element by name or index, or nullptr.
  const Json* Find(const std::string& key) const;

  std::string Text() const;

 private:
  Kind kind_ = Null;
  bool bool_ = false;
  double number_ = 0;
  std::string string_;
  std::vector<Json> items_;
  std::vector<std::pair<std::string, Json>> members_;
};

}  // namespace harness
