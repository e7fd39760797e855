// The one way a call below the runs fails: opening, creating, reading, writing and closing a
// file, and reading data that does not follow its layout, return a Status that carries its
// message; a call that computes a value hands the value through an out-pointer. The passes and
// runs hand a Status on until a run turns it into its console message.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace korvell {

class Status {
 public:
  /// Invalid: data that does not follow its layout (a damaged time map, a playlist that is
  /// not XML, an LPCM header that makes no sense). NotFound: something the call needs is not
  /// there (a program to run, a title that plays a file).
  enum class Code : uint8_t {
    Ok,
    OpenFailed,
    CreateFailed,
    ReadFailed,
    WriteFailed,
    RemoveFailed,
    Invalid,
    NotFound
  };

  /// Ok.
  Status() = default;
  /// A failure with the system's reason ("No such file or directory").
  static Status failure(Code code, std::string reason) { return Status(code, std::move(reason)); }
  /// An OpenFailed or ReadFailed failure with its reason.
  static Status openFailed(std::string reason) {
    return Status(Code::OpenFailed, std::move(reason));
  }
  static Status readFailed(std::string reason) {
    return Status(Code::ReadFailed, std::move(reason));
  }
  /// An Invalid failure: why the data does not follow its layout.
  static Status invalid(std::string reason) { return Status(Code::Invalid, std::move(reason)); }

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
