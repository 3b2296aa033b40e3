#include "cli/operand_path.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "glue/byte_file.h"
#include "glue/paths.h"

namespace zundoc {
namespace {

constexpr size_t kPathField = 512;  // TaskRecord's PcFile and PalmFile

}  // namespace

OperandPath::OperandPath(std::string operand) : operand_(std::move(operand)) {
  if (operand_.size() <= kPathField) {
    field_ = operand_;
    return;
  }
  if (::access("/proc/self/fd", X_OK) != 0) {
    problem_ = zun::SystemReason(ENAMETOOLONG);
    return;
  }
  const std::string folder = zun::PathDirectory(operand_);
  folder_ = zun::FileDescriptor(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!folder_.IsOpen()) {
    problem_ = zun::SystemReason(errno);
    return;
  }
  field_ = "/proc/self/fd/" + std::to_string(folder_.Get()) + "/" + zun::PathFileName(operand_);
  if (field_.size() > kPathField) {
    field_.clear();
    problem_ = zun::SystemReason(ENAMETOOLONG);
  }
}

std::string OperandPath::Folder() const { return zun::PathDirectory(field_); }

std::string OperandPath::Shown(const std::string& file) const {
  if (file == field_) return operand_;
  const std::string folder = Folder();
  if (file != (folder.empty() ? std::string(".") + zun::kPathSeparator : folder)) return file;
  const std::string shown = zun::PathDirectory(operand_);
  return shown.empty() ? "." : shown;
}

}  // namespace zundoc
