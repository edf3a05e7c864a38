#include "export/Teeexport.h"

#include <algorithm>

#include "base/Exceptions.h"
#include "base/Messages.h"
#include "export/TeePanel.h"
#include "platform/Files.h"

void TTeeExportFormat::DoCopyToClipboard() {
  throw EAbstractError(SAbstractError);
}

void TTeeExportFormat::IncFileFilterIndex(int& counter) {
  ++counter;
  filter_index_ = counter;
}

std::string TTeeExportFormat::Description() const {
  throw EAbstractError(SAbstractError);
}

std::string TTeeExportFormat::FileExtension() const {
  throw EAbstractError(SAbstractError);
}

std::string TTeeExportFormat::FileFilter() const {
  throw EAbstractError(SAbstractError);
}

void TTeeExportFormat::SaveToStream(TStream&) {
  throw EAbstractError(SAbstractError);
}

TTeeExportOptions* TTeeExportFormat::Options(bool) {
  return nullptr;
}

void TTeeExportFormat::CheckPanel() const {
  if (Panel == nullptr) throw Exception(TeeMsg_ExportPanelNotSet);
}

void TTeeExportFormat::CheckSize() {
  if (Width == 0) Width = Panel->Width();
  if (Height == 0) Height = Panel->Height();
}

void TTeeExportFormat::SaveToFile(const std::string& file_name) {
  CheckPanel();
  Options(true);
  CheckSize();
  SaveFileSafely(file_name, [this](TStream& stream) { SaveToStream(stream); });
}

void TTeeExportFormat::CopyToClipboard() {
  CheckPanel();
  Options(true);
  CheckSize();
  DoCopyToClipboard();
}

namespace {

std::vector<const TTeeExportFormatClass*>& FormatList() {
  static std::vector<const TTeeExportFormatClass*> list;
  return list;
}

}  // namespace

void RegisterTeeExportFormat(const TTeeExportFormatClass& format) {
  FormatList().push_back(&format);
}

void UnRegisterTeeExportFormat(const TTeeExportFormatClass& format) {
  auto& list = FormatList();
  list.erase(std::remove(list.begin(), list.end(), &format), list.end());
}

const std::vector<const TTeeExportFormatClass*>& TeeExportFormats() {
  return FormatList();
}
