#include "record/task_record.h"

#include <cstring>

namespace zun {
namespace {

class RecordWriter {
 public:
  explicit RecordWriter(std::array<uint8_t, kTaskRecordSize>& out) : out_(out) {}
  void Text(const std::string& text) {
    std::memcpy(out_.data() + at_, text.data(), text.size());
    at_ += text.size();
  }
  void Integer(int16_t value) {
    const auto v = static_cast<uint16_t>(value);
    out_[at_++] = static_cast<uint8_t>(v & 0xFF);
    out_[at_++] = static_cast<uint8_t>(v >> 8);
  }
  void Date(double value) {
    uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    for (int i = 0; i < 8; ++i) out_[at_++] = static_cast<uint8_t>(bits >> (8 * i));
  }

 private:
  std::array<uint8_t, kTaskRecordSize>& out_;
  size_t at_ = 0;
};

class RecordReader {
 public:
  explicit RecordReader(std::span<const uint8_t, kTaskRecordSize> in) : in_(in) {}
  template <size_t N>
  void Text(FixedText<N>& field) {
    field.SetRaw(std::string_view(reinterpret_cast<const char*>(in_.data() + at_), N));
    at_ += N;
  }
  void Integer(int16_t& value) {
    value = static_cast<int16_t>(in_[at_] | (in_[at_ + 1] << 8));
    at_ += 2;
  }
  void Action(TaskAction& value) {
    int16_t raw = 0;
    Integer(raw);
    value = static_cast<TaskAction>(raw);
  }
  void Date(double& value) {
    uint64_t bits = 0;
    for (size_t i = 0; i < 8; ++i) bits |= uint64_t{in_[at_ + i]} << (8 * i);
    std::memcpy(&value, &bits, sizeof value);
    at_ += 8;
  }

 private:
  std::span<const uint8_t, kTaskRecordSize> in_;
  size_t at_ = 0;
};

}  // namespace

std::array<uint8_t, kTaskRecordSize> EncodeTaskRecord(const TaskRecord& r) {
  std::array<uint8_t, kTaskRecordSize> out{};
  RecordWriter w(out);
  w.Text(r.Version.str());
  w.Text(r.PcFile.str());
  w.Date(r.PcDate);
  w.Text(r.PalmFile.str());
  w.Date(r.PalmDate);
  w.Integer(static_cast<int16_t>(r.Action));
  w.Text(r.Options.str());
  w.Integer(r.Category);
  w.Integer(r.TabSpace);
  w.Text(r.Targets.str());
  w.Text(r.Status.str());
  w.Integer(r.PcFilterIndex);
  w.Integer(r.PalmFilterIndex);
  w.Integer(r.Flag1);
  w.Integer(r.Flag2);
  w.Integer(r.Counter);
  w.Text(r.Reserved.str());
  return out;
}

TaskRecord DecodeTaskRecord(std::span<const uint8_t, kTaskRecordSize> bytes) {
  TaskRecord r;
  RecordReader in(bytes);
  in.Text(r.Version);
  in.Text(r.PcFile);
  in.Date(r.PcDate);
  in.Text(r.PalmFile);
  in.Date(r.PalmDate);
  in.Action(r.Action);
  in.Text(r.Options);
  in.Integer(r.Category);
  in.Integer(r.TabSpace);
  in.Text(r.Targets);
  in.Text(r.Status);
  in.Integer(r.PcFilterIndex);
  in.Integer(r.PalmFilterIndex);
  in.Integer(r.Flag1);
  in.Integer(r.Flag2);
  in.Integer(r.Counter);
  in.Text(r.Reserved);
  return r;
}

TaskAction DisplayedAction(TaskAction action) {
  const auto raw = static_cast<int16_t>(action);
  return raw >= 1 && raw <= 4 ? action : TaskAction::NoConversion;
}

TaskAction NextAction(TaskAction action) {
  return static_cast<TaskAction>(static_cast<int16_t>(DisplayedAction(action)) % 4 + 1);
}

TaskRecord DefaultSettingsRecord() {
  TaskRecord r;
  r.Version = kDataFileVersion;
  r.Action = TaskAction::NoConversion;
  r.Options = "11    1";  // Compress, TABs to Spaces, UTF-8 Text
  r.Category = 0;
  r.TabSpace = 4;
  r.Targets = "1";
  r.PcFilterIndex = 1;
  r.PalmFilterIndex = 1;
  r.Flag1 = kSwitchOn;
  r.Flag2 = kSwitchOn;
  return r;
}

TaskRecord DefaultClipboardRecord() {
  TaskRecord r = DefaultSettingsRecord();
  r.Version = "0";
  r.PalmFile = "clipboard.pdb";
  r.Action = TaskAction::PcToPalm;
  r.Flag1 = kSwitchOff;
  r.Flag2 = kSwitchOff;
  return r;
}

}  // namespace zun
