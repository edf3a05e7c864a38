// The window's export command: the result written in a format that records its band (the
// table of output formats says which), in full colour or, where the format has one, in its
// palette form: reduced to the halftone palette as the GIF save reduces it. The handler is
// TMainForm::ExportClick, here in Export.cpp; its action is in the window's table of
// commands, with the caption and tool tip made here from the formats.
#pragma once

#include <vector>

#include <QString>

#include "export/SaveByFormat.h"

class QFileDialog;

// One form the export dialog offers: a name filter, and the format and form it writes.
struct TExportForm {
  QString filter;
  TSaveFormat format;
  bool indexed;
};

// The export dialog's forms, in the order of the table of output formats: each format that
// records the band in full colour, then in its palette form where it has one.
std::vector<TExportForm> ExportForms();

// What the export dialog returns: the file name and the form chosen.
struct TExportChoice {
  QString file_name;
  bool indexed = false;
  TSaveFormat format = ExportForms().front().format;
};

// The command's caption ("Export PNG..." while one format records the band, "Export..."
// when more do) and its tool tip.
QString ExportCaption();
QString ExportToolTip();

// Makes a file dialog the export dialog: a save dialog with a name filter for each form
// (the first chosen); a name without an extension gets the chosen format's first ending.
void SetUpExportDialog(QFileDialog& dialog);
// The form of the dialog's chosen filter.
TExportForm ChosenExportForm(const QFileDialog& dialog);
