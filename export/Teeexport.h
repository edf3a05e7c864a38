// The chart library's export formats: a format turns a panel into a file of its kind.
// TTeeExportFormat holds what every format shares (the panel, the size, the file filter
// position, creating the file); each kind fills in its description, filter, extension
// and how it writes a stream.
#pragma once

#include <memory>
#include <string>
#include <vector>

class TCustomTeePanel;
class TStream;

// An export format's options form (a format may have none).
class TTeeExportOptions {
 public:
  virtual ~TTeeExportOptions() = default;
};

class TTeeExportFormat {
 public:
  TTeeExportFormat() = default;
  virtual ~TTeeExportFormat() = default;
  TTeeExportFormat(const TTeeExportFormat&) = delete;
  TTeeExportFormat& operator=(const TTeeExportFormat&) = delete;

  // The virtual operations in their slot order; the abstract ones raise EAbstractError
  // with the class library's abstract-call text when a kind does not provide them.
  virtual void DoCopyToClipboard();
  virtual int FileFilterIndex() const { return filter_index_; }
  // Adds 1 to the caller's counter and keeps the new value as this format's position.
  virtual void IncFileFilterIndex(int& counter);
  virtual std::string Description() const;
  virtual std::string FileExtension() const;
  virtual std::string FileFilter() const;
  virtual void SaveToStream(TStream& stream);
  // The format's options form, made first when check is true; nullptr for none.
  virtual TTeeExportOptions* Options(bool check);

  // Writes the panel to a file: raises Exception "Panel property is not set in Export
  // format" without a panel; otherwise the options, the size, and the file, which is
  // written safely (a temporary file beside it, renamed over it only when the whole
  // stream was written), so a failure leaves an existing file untouched and no new one.
  void SaveToFile(const std::string& file_name);
  // Like SaveToFile up to the size, then DoCopyToClipboard.
  void CopyToClipboard();
  // A width or height of 0 takes the panel's.
  void CheckSize();

  int Height = 0;
  TCustomTeePanel* Panel = nullptr;  // not owned
  int Width = 0;

 private:
  void CheckPanel() const;
  int filter_index_ = 0;
};

// A class reference for export formats: makes a new format of its kind.
struct TTeeExportFormatClass {
  const char* name;
  std::unique_ptr<TTeeExportFormat> (*create)();
};

// The chart library's list of export formats (made on first registration).
void RegisterTeeExportFormat(const TTeeExportFormatClass& format);
void UnRegisterTeeExportFormat(const TTeeExportFormatClass& format);
const std::vector<const TTeeExportFormatClass*>& TeeExportFormats();
