// The one way a failure travels: opening, creating, reading, writing and closing return a
// Status, and the passes and runs hand it on until a run turns it into its console message.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace korvell {

class Status {
 public:
  enum class Code : uint8_t { Ok, OpenFailed, CreateFailed, ReadFailed, WriteFailed };

  /// Ok.
  Status() = default;
  /// A failure with the system's reason ("No such file or directory").
  static Status failure(Code code, std::string reason) { return Status(code, std::move(reason)); }

  bool ok() const { return code_ == Code::Ok; }
  Code code() const { return code_; }
  /// The reason a failure gives; empty when Ok.
  const std::string& reason() const { return reason_; }
  bool operator==(const Status&) const = default;

 private:
  Status(Code code, std::string reason) : code_(code), reason_(std::move(reason)) {}
  Code code_ = Code::Ok;
  std::string reason_;
};

}  // namespace korvell
