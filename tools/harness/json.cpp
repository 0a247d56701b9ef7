#include "json.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace harness {
namespace {

void Quote(std::string& out, const std::string& s) {
  out += '"';
  for (unsigned char c : s) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += char(c);
        }
    }
  }
  out += '"';
}

}  // namespace

const Json* Json::Find(const std::string& key) const {
  if (kind_ == Object) {
    for (const auto& [k, v] : members_)
      if (k == key) return &v;
  } else if (kind_ == Array) {
    char* end = nullptr;
    const long i = std::strtol(key.c_str(), &end, 10);
    if (!key.empty() && *end == 0 && i >= 0 && size_t(i) < items_.size()) return &items_[size_t(i)];
  }
  return nullptr;
}

std::string Json::Text() const {
  std::string out;
  switch (kind_) {
    case Null: out = "null"; break;
    case Bool: out = bool_ ? "true" : "false"; break;
    case Number: {
      if (!std::isfinite(number_)) {
        out = "null";
      } else {
        char buf[40];
        std::snprintf(buf, sizeof buf, "%.17g", number_);
        out = buf;
      }
      break;
    }
    case String: Quote(out, string_); break;
    case Array: {
      out = "[";
      for (size_t i = 0; i < items_.size(); ++i) out += (i ? "," : "") + items_[i].Text();
      out += "]";
      break;
    }
    case Object: {
      out = "{";
      for (size_t i = 0; i < members_.size(); ++i) {
        if (i) out += ",";
        Quote(out, members_[i].first);
        out += ":" + members_[i].second.Text();
      }
      out += "}";
      break;
    }
  }
  return out;
}

}  // namespace harness
