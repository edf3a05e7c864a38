// The window's "Export PNG..." command: the result written as a PNG file that records its
// band, in full colour or, chosen in the dialog, reduced to the halftone palette as the
// GIF save reduces it (a palette PNG). The handler is TMainForm::ExportPngClick, here in
// PngExport.cpp; its action is in the window's table of commands.
#pragma once

#include <QString>

class QFileDialog;

// What the export dialog returns: the file name and whether the palette form was chosen.
struct TPngExportChoice {
  QString file_name;
  bool indexed = false;
};

// Makes a file dialog the export dialog: a save dialog whose two name filters choose the
// form (full colour first); a name without an extension gets ".png".
void SetUpPngExportDialog(QFileDialog& dialog);
// Whether the dialog's chosen filter is the palette form.
bool PaletteChosen(const QFileDialog& dialog);
