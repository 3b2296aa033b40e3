// A file named on the command line, as a task's 512-byte path field can hold it.
#pragma once
#include <string>

#include "glue/file_descriptor.h"

namespace zundoc {

class OperandPath {
 public:
  // The operand itself when it fits (a relative path is taken from the current folder, however
  // deep that is); a longer one is its file name in a descriptor of its folder,
  // "/proc/self/fd/N/name", the folder held open for as long as this object lives.
  explicit OperandPath(std::string operand);

  // Empty when a long operand's folder cannot be opened; Problem() then says why.
  const std::string& Field() const { return field_; }
  const std::string& Problem() const { return problem_; }
  const std::string& Operand() const { return operand_; }
  // The folder the conversion's temporary files go into, beside the file ("" for the current one).
  std::string Folder() const;
  // `file` as the user named it: the operand for the field, the operand's folder for Folder().
  std::string Shown(const std::string& file) const;

 private:
  std::string operand_;
  std::string field_;
  std::string problem_;
  zun::FileDescriptor folder_;
};

}  // namespace zundoc
