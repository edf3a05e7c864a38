// The window's "Export PNG..." command: the result written as a PNG file that records its
// band, in full colour or, chosen in the dialog, reduced to the halftone palette as the
// GIF save reduces it (a palette PNG). The command's action, button and handler are
// TMainForm's (ExportPngAction, ExportPngButton, ExportPngClick); they live in
// PngExport.cpp.
#pragma once

#include <optional>

#include <QString>

class QWidget;

// What the export dialog returns: the file name and whether the palette form was chosen.
struct TPngExportChoice {
  QString file_name;
  bool indexed = false;
};

// The export dialog: a save dialog whose two name filters choose the form; a name
// without an extension gets ".png". Nothing on cancel.
std::optional<TPngExportChoice> RunPngExportDialog(QWidget* parent);
