// The main window's controls at their form places, the controls added around them (the
// sliders' spin boxes, the picture windows' zoom), the actions that the buttons trigger
// with their shortcuts and tool tips, and the tab order.
#include <algorithm>

#include <QAbstractSpinBox>
#include <QAction>
#include <QCheckBox>
#include <QDockWidget>
#include <QFontDatabase>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QStyle>
#include <QToolButton>

#include "app/gui/Export.h"
#include "app/gui/ImageBox.h"
#include "app/gui/MainForm.h"
#include "app/gui/PictureWindow.h"
#include "app/gui/RevealWindow.h"
#include "targets/AutoBand.h"

namespace {

// The command bar's client area; its controls sit at fixed places within it.
constexpr int kBarWidth = 600, kBarHeight = 142;
// A picture window's client area: 187 x 196 where the window has room for it; it may
// give up some height so that the window starts at 623 x 388 with this platform's taller
// window captions.
constexpr int kPictureWidth = 187, kPictureMinHeight = 120;
// The spin boxes' column right of the sliders' bevel (which ends at 441), and its width.
constexpr int kSpinColumn = 447, kSpinWidth = 50, kSpinGap = 6;
constexpr int kAutoWidth = 40;  // "Auto", after the number boxes, within the bar's width
// The x and y edits hold a picture side of up to five digits.
constexpr int kEditDigits = 5;

QToolButton* FlatButton(QWidget* parent, const char* name, const char* caption, QRect place) {
  auto* b = new QToolButton(parent);
  b->setObjectName(name);
  b->setText(caption);
  b->setAutoRaise(true);
  b->setToolButtonStyle(Qt::ToolButtonTextOnly);
  // A toolbar button takes no focus when clicked, so clicking it leaves an edit's focus
  // alone; Tab reaches it.
  b->setFocusPolicy(Qt::TabFocus);
  b->setGeometry(place);
  return b;
}

QPushButton* Button(QWidget* parent, const char* name, const char* caption, QRect place) {
  auto* b = new QPushButton(caption, parent);
  b->setObjectName(name);
  b->setGeometry(place);
  return b;
}

QLabel* Label(QWidget* parent, const char* name, const char* caption, QPoint place) {
  auto* l = new QLabel(caption, parent);
  l->setObjectName(name);
  l->move(place);
  l->adjustSize();
  return l;
}

QFrame* Bevel(QWidget* parent, const char* name, QRect place) {
  auto* f = new QFrame(parent);
  f->setObjectName(name);
  f->setFrameShape(QFrame::Box);
  f->setFrameShadow(QFrame::Sunken);
  f->setGeometry(place);
  f->lower();
  return f;
}

QLineEdit* Edit(QWidget* parent, const char* name, QRect place) {
  auto* e = new QLineEdit("0", parent);
  e->setObjectName(name);
  e->setGeometry(place);
  e->setAlignment(Qt::AlignRight);
  return e;
}

// An edit's width for `digits` digits in its font, and no less than `width`.
int EditWidth(const QLineEdit* edit, int digits, int width) {
  const int text = edit->fontMetrics().horizontalAdvance(QString(digits, QLatin1Char('8')));
  const int frame = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, edit);
  const QMargins margins = edit->textMargins();
  // The line edit keeps 2 pixels on either side of its text, and room for the cursor.
  return std::max(width, text + 2 * frame + 4 + 1 + margins.left() + margins.right());
}

QSpinBox* SpinBox(QWidget* parent, const char* name, int maximum, int value, QRect place) {
  auto* s = new QSpinBox(parent);
  s->setObjectName(name);
  s->setRange(0, maximum);
  s->setValue(value);
  s->setAlignment(Qt::AlignRight);
  // A typed number takes effect when it is confirmed (Return, or leaving the box), not at
  // every digit: typing 200 must not pass through the averages 2 and 20, each of which
  // would pull the contrast down. The arrows and the wheel step at once.
  s->setKeyboardTracking(false);
  s->setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
  s->setGeometry(place);
  return s;
}

QSlider* TrackBar(QWidget* parent, const char* name, int maximum, int position, int ticks,
                  QRect place) {
  auto* s = new QSlider(Qt::Horizontal, parent);
  s->setObjectName(name);
  s->setRange(0, maximum);
  s->setValue(position);
  s->setTickInterval(ticks);
  s->setTickPosition(QSlider::TicksBothSides);
  s->setPageStep(ticks);
  s->setGeometry(place);
  return s;
}

}  // namespace

void TMainForm::CreateControls() {
  setObjectName("MainForm");
  setWindowTitle("Lumiveil Maker");
  // The face colour of buttons, and the proportional Japanese gothic font at 12 pixels
  // when it is installed.
  setBackgroundRole(QPalette::Button);
  setAutoFillBackground(true);
  if (QFontDatabase::families().contains("IPAPGothic")) {
    QFont font("IPAPGothic");
    font.setPixelSize(12);
    setFont(font);
  }
  setDockOptions(QMainWindow::AnimatedDocks);

  ToolWindow971 = new QDockWidget("ToolWindow971", this);
  ToolWindow971->setObjectName("ToolWindow971");
  ToolWindow971->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
  ToolWindow971->setWidget(CreateCommandBar());
  // The dock's own float button is a control of the window too.
  if (auto* button = ToolWindow971->findChild<QAbstractButton*>("qt_dockwidget_floatbutton"))
    button->setToolTip("Float the command bar, or dock it again (or double-click its title)");
  addDockWidget(Qt::TopDockWidgetArea, ToolWindow971);

  ToolWindow972 = CreatePictureWindow("ToolWindow972", "Visible", ScrollBox1, Image1);
  ToolWindow973 = CreatePictureWindow("ToolWindow973", "Hidden", ScrollBox2, Image2);
  ToolWindow974 = CreatePictureWindow("ToolWindow974", "Result", ScrollBox3, Image3);
  Image1->setObjectName("Image1");
  Image2->setObjectName("Image2");
  Image3->setObjectName("Image3");
  ScrollBox1->setObjectName("ScrollBox1");
  ScrollBox2->setObjectName("ScrollBox2");
  ScrollBox3->setObjectName("ScrollBox3");
  ScrollBox1->setToolTip(
      "The visible picture. Ctrl+wheel zooms; drop a picture file here to load it as the "
      "visible picture");
  ScrollBox2->setToolTip(
      "The hidden picture, fitted to the visible one. Ctrl+wheel zooms; drop a picture file "
      "here to load it as the hidden picture");
  ScrollBox3->setToolTip("The combined picture. Ctrl+wheel zooms");
  ToolWindow972->SetAcceptsFiles(true);
  ToolWindow973->SetAcceptsFiles(true);
  // The zoom commands act on the result window until another one is used.
  PictureViews = new TPictureViews(this);
  for (TPictureView* view : {ScrollBox1, ScrollBox2, ScrollBox3}) PictureViews->Add(view);
  // The second row: the three picture windows side by side under the command bar.
  addDockWidget(Qt::TopDockWidgetArea, ToolWindow972);
  splitDockWidget(ToolWindow971, ToolWindow972, Qt::Vertical);
  splitDockWidget(ToolWindow972, ToolWindow973, Qt::Horizontal);
  splitDockWidget(ToolWindow973, ToolWindow974, Qt::Horizontal);

  // The invisible chart inside the result window, with the invisible Image4 inside it.
  Chart = new QWidget(ToolWindow974->widget());
  Chart->setObjectName("Chart");
  Chart->setGeometry(12, 40, GifTarget.Chart.Width(), GifTarget.Chart.Height());
  Chart->hide();
  Image4 = new TImageBox(Chart);
  Image4->setObjectName("Image4");
  Image4->move(40, 4);
  Image4->setFixedSize(GifTarget.Image4.Width, GifTarget.Image4.Height);
  Image4->hide();

  // The dock area fills the window; nothing sits in the middle.
  auto* centre = new QWidget(this);
  centre->setObjectName("Dock971");
  centre->setMaximumSize(0, 0);
  setCentralWidget(centre);

  StatusPanel0 = new QLabel("Lumiveil Maker: a picture in a picture");
  StatusPanel0->setObjectName("StatusPanel0");
  StatusPanel0->setFixedWidth(240);
  StatusPanel0->setFrameShape(QFrame::Panel);
  StatusPanel0->setFrameShadow(QFrame::Sunken);
  // The second panel is 50 pixels wide at the least and takes the rest of the bar, so
  // that what runs and what the last command did can be read.
  StatusPanel1 = new TStatusPanel;
  StatusPanel1->setObjectName("StatusPanel1");
  StatusPanel1->setMinimumWidth(50);
  StatusPanel1->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  StatusPanel1->setFrameShape(QFrame::Panel);
  StatusPanel1->setFrameShadow(QFrame::Sunken);
  statusBar()->setObjectName("StatusBar1");
  statusBar()->addWidget(StatusPanel0);
  statusBar()->addWidget(StatusPanel1, 1);

  resize(StartSize(screen()));
  CentreOnScreen();
}

QSize TMainForm::StartSize(const QScreen* screen) {
  // The form's 623 x 388 leaves a picture window a thumbnail's room on today's screens:
  // the window starts at four fifths of its screen's free area each way (1280 x 800 of
  // 1600 x 1000), never smaller than the form's size nor larger than the screen.
  const QSize form(623, 388);
  if (screen == nullptr) return form;
  const QSize room = screen->availableGeometry().size();
  return (room * 0.8).expandedTo(form).boundedTo(room);
}

QWidget* TMainForm::CreateCommandBar() {
  auto* bar = new QWidget;
  bar->setObjectName("CommandBar");
  // The bar keeps its height; the picture windows take the rest of the window.
  bar->setMinimumWidth(kBarWidth);
  bar->setFixedHeight(kBarHeight);
  command_bar_ = bar;

  ExternalImageButton =
      FlatButton(bar, "ExternalImageButton", "Load Visible Image", {8, 4, 121, 22});
  LoadInnerImage = FlatButton(bar, "LoadInnerImage", "Load Hiden Image", {132, 4, 117, 22});
  QuirButton = FlatButton(bar, "QuirButton", "Quit", {496, 4, 93, 22});
  ExportButton = FlatButton(bar, "ExportButton", "Export...", {252, 4, 105, 22});
  GifCheckBox = new QCheckBox("GIF", bar);
  GifCheckBox->setObjectName("GifCheckBox");
  GifCheckBox->setGeometry(408, 12, 53, 17);

  Bevel1 = Bevel(bar, "Bevel1", {12, 32, 213, 29});
  ResizeButton = Button(bar, "ResizeButton", "Resize", {20, 36, 61, 22});
  XYLabel = Label(bar, "XYLabel", "x,y =", {93, 40});
  XEdit = Edit(bar, "XEdit", {120, 36, 33, 20});
  YEdit = Edit(bar, "YEdit", {160, 36, 41, 20});
  // Both edits as wide as five digits need: the y edit and the bevel move aside when the
  // x edit grows.
  XEdit->resize(EditWidth(XEdit, kEditDigits, 33), 20);
  YEdit->setGeometry(std::max(160, XEdit->geometry().right() + 8), 36,
                     EditWidth(YEdit, kEditDigits, 41), 20);
  // The bevel keeps its right edge 24 pixels beyond the y edit's.
  Bevel1->resize(std::max(213, YEdit->geometry().right() + 24 - 12 + 1), 29);
  XEdit->setToolTip(
      "The width in pixels. Type a width and leave the edit (Tab) to scale the visible "
      "picture to it, keeping its aspect ratio; a hidden picture follows");
  YEdit->setToolTip(
      "The height in pixels. Type a height and leave the edit (Tab) to scale the visible "
      "picture to it, keeping its aspect ratio; a hidden picture follows");
  SizeFitButton = Button(bar, "SizeFitButton", "Size Fit", {240, 36, 61, 22});
  SizeFitButton->hide();
  synthesizeButton = Button(bar, "synthesizeButton", "Synthesize", {304, 36, 81, 22});
  SaveGifButton = Button(bar, "SaveGifButton", "Save to File", {388, 36, 93, 22});

  Bevel2 = Bevel(bar, "Bevel2", {20, 68, 421, 73});
  AverageLabel = Label(bar, "AverageLabel", "Hiden Image Average Value", {44, 72});
  ContrastLabel = Label(bar, "ContrastLabel", "Hiden Image Image Contrast", {256, 72});
  AverageTrackBar = TrackBar(bar, "AverageTrackBar", 255, 128, 20, {40, 88, 162, 45});
  AverageMinLabel = Label(bar, "AverageMinLabel", "10", {24, 100});
  AverageMaxLabel = Label(bar, "AverageMaxLabel", "245", {204, 100});
  MinMaxTrackBar = TrackBar(bar, "MinMaxTrackBar", 128, 127, 5, {252, 88, 162, 45});
  MinLabel = Label(bar, "MinLabel", "0", {244, 100});
  MaxLabel = Label(bar, "MaxLabel", "255", {420, 100});
  AverageTrackBar->setToolTip(
      "The hidden picture's average value A: the centre of the band its tones are squeezed "
      "into. It limits the contrast");
  MinMaxTrackBar->setToolTip(
      "The hidden picture's contrast C: the half-width of the band, at most the limit shown "
      "at the slider's right end");
  MaxLabel->setToolTip("The highest contrast the average allows");

  AverageSpinLabel = Label(bar, "AverageSpinLabel", "Average", {kSpinColumn, 72});
  AverageSpinBox = SpinBox(bar, "AverageSpinBox", 255, 128, {kSpinColumn, 98, kSpinWidth, 22});
  ContrastSpinLabel =
      Label(bar, "ContrastSpinLabel", "Contrast", {kSpinColumn + kSpinWidth + kSpinGap, 72});
  ContrastSpinBox = SpinBox(bar, "ContrastSpinBox", 128, 127,
                            {kSpinColumn + kSpinWidth + kSpinGap, 98, kSpinWidth, 22});
  AutoButton = Button(bar, "AutoButton", "Auto",
                      {kSpinColumn + 2 * (kSpinWidth + kSpinGap), 98, kAutoWidth, 22});
  AverageSpinBox->setToolTip(
      "The average value A as a number: type one and press Return (or Tab), or step it with "
      "the arrows; the slider follows");
  ContrastSpinBox->setToolTip(
      "The contrast C as a number: type one and press Return (or Tab), or step it with the "
      "arrows; the slider follows");

  for (QLineEdit* edit : {XEdit, YEdit}) edit->installEventFilter(this);
  bar->installEventFilter(this);
  return bar;
}

void TMainForm::LayOutCommandBar(int width) {
  // Both sliders stretch with the window, sharing the extra width; the labels at their
  // ends and the bevel around them move along.
  const int extra = std::max(0, width - kBarWidth);
  const int half = extra / 2;
  Bevel2->setGeometry(20, 68, 421 + extra, 73);
  AverageTrackBar->setGeometry(40, 88, 162 + half, 45);
  AverageMaxLabel->move(204 + half, 100);
  MinLabel->move(244 + half, 100);
  ContrastLabel->move(256 + half, 72);
  MinMaxTrackBar->setGeometry(252 + half, 88, 162 + extra - half, 45);
  MaxLabel->move(420 + extra, 100);
  const int spins = kSpinColumn + extra;
  AverageSpinLabel->move(spins, 72);
  AverageSpinBox->move(spins, 98);
  ContrastSpinLabel->move(spins + kSpinWidth + kSpinGap, 72);
  ContrastSpinBox->move(spins + kSpinWidth + kSpinGap, 98);
  AutoButton->move(spins + 2 * (kSpinWidth + kSpinGap), 98);
}

TPictureWindow* TMainForm::CreatePictureWindow(const char* name, const char* shows,
                                               TPictureView*& scroll, TImageBox*& image) {
  image = new TImageBox;
  image->resize(0, 0);
  // All three carry the form's caption; the name beside it tells which picture it shows.
  auto* window = new TPictureWindow("ToolWindow972", shows, image, this);
  window->setObjectName(name);
  scroll = window->View();
  scroll->setMinimumSize(kPictureWidth, kPictureMinHeight);
  return window;
}

namespace {

// What a tool tip says: what the command does, then its shortcut.
QString TipWithShortcut(const QString& tip, const QKeySequence& shortcut) {
  if (shortcut.isEmpty()) return tip;
  return QString("%1 (%2)").arg(tip, shortcut.toString(QKeySequence::NativeText));
}

}  // namespace

std::vector<TMainForm::TCommandRow> TMainForm::FileCommands() {
  const auto command = [this](void (TMainForm::*handler)()) {
    return [this, handler] { (this->*handler)(); };
  };
  return {
      {&LoadVisibleAction,
       "LoadVisibleAction",
       "Load Visible Image",
       "Open the visible picture (BMP, or any format a plug-in reads)",
       {QKeySequence(Qt::CTRL | Qt::Key_O)},
       command(&TMainForm::ExternalImageButtonClick)},
      {&LoadHiddenAction,
       "LoadHiddenAction",
       "Load Hiden Image",
       "Open the hidden picture; it is fitted to the visible picture's size and previewed",
       {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O)},
       command(&TMainForm::LoadInnerImageClick)},
      {&ResizeAction,
       "ResizeAction",
       "Resize",
       "Fit the hidden picture to the visible picture's size again",
       {QKeySequence(Qt::CTRL | Qt::Key_R)},
       command(&TMainForm::SizeFitButtonClick)},
      {&SynthesizeAction,
       "SynthesizeAction",
       "Synthesize",
       "Build the combined picture from both pictures and the two sliders",
       {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)},
       command(&TMainForm::synthesizeButtonClick)},
      {&SaveAction,
       "SaveAction",
       "Save to File",
       "Save the combined picture under the name you type: a 24-bit BMP file, or a GIF file "
       "when GIF is ticked",
       {QKeySequence(Qt::CTRL | Qt::Key_S)},
       command(&TMainForm::SaveGifButtonClick)},
      {&AutoAction,
       "AutoAction",
       "Auto",
       QString("Move the sliders to the band that brings the hidden picture back best after "
               "the Reveal window's target (the file as saved when it names none) while the "
               "normal view keeps a visible-psnr of at least %1 dB")
           .arg(kDefaultMinVisiblePsnr),
       {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A)},
       command(&TMainForm::AutoButtonClick)},
      {&ExportAction,
       "ExportAction",
       ExportCaption(),
       ExportToolTip(),
       {QKeySequence(Qt::CTRL | Qt::Key_E)},
       command(&TMainForm::ExportClick)},
      {&QuitAction,
       "QuitAction",
       "Quit",
       "Close the window",
       {QKeySequence(Qt::CTRL | Qt::Key_Q)},
       command(&TMainForm::QuirButtonClick)},
      {&GifAction,
       "GifAction",
       "GIF",
       "Save to File writes a GIF file instead of a BMP file",
       {QKeySequence(Qt::CTRL | Qt::Key_G)},
       nullptr},
  };
}

std::vector<TMainForm::TCommandRow> TMainForm::ViewCommands() {
  return {
      {&ZoomInAction,
       "ZoomInAction",
       "Zoom In",
       "Zoom in on the picture window last used, or on all three while they are linked",
       {QKeySequence(QKeySequence::ZoomIn), QKeySequence(Qt::CTRL | Qt::Key_Equal)},
       [this] { PictureViews->ZoomIn(); }},
      {&ZoomOutAction,
       "ZoomOutAction",
       "Zoom Out",
       "Zoom out of the picture window last used, or of all three while they are linked; "
       "each screen pixel shows the average of the pixels it covers",
       {QKeySequence(QKeySequence::ZoomOut)},
       [this] { PictureViews->ZoomOut(); }},
      {&ZoomFitAction,
       "ZoomFitAction",
       "Fit",
       "Show the whole picture in its window (and keep it whole when the window is resized)",
       {QKeySequence(Qt::CTRL | Qt::Key_0)},
       [this] { PictureViews->Fit(); }},
      {&ZoomActualSizeAction,
       "ZoomActualSizeAction",
       "1:1",
       "Show the picture at its natural size: one screen pixel for each picture pixel",
       {QKeySequence(Qt::CTRL | Qt::Key_1)},
       [this] { PictureViews->ActualSize(); }},
      {&LinkViewsAction,
       "LinkViewsAction",
       "Link the Three Windows",
       "Zoom and scroll the three picture windows together, to look at the same place in "
       "each",
       {QKeySequence(Qt::CTRL | Qt::Key_L)},
       nullptr},
      // Ctrl+R is Resize's, so the Reveal window takes Ctrl+Shift+R: still R, and free.
      {&RevealAction,
       "RevealAction",
       "Reveal",
       "Open or close the Reveal window: what viewers make of the result, and the hidden "
       "picture got back",
       {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R)},
       nullptr},
  };
}

void TMainForm::CreateActions() {
  // Every command of the window, in one table: its name, the caption the form gives it,
  // what its tool tip says, its shortcuts (the first is the one shown) and its handler.
  // Shortcuts work in every window of the program, so also in a floated picture window.
  // An action made already (the Reveal window's own) is taken as it is and only named.
  std::vector<TCommandRow> commands = FileCommands();
  for (TCommandRow& c : ViewCommands()) commands.push_back(std::move(c));
  for (const TCommandRow& c : commands) {
    QAction* a = *c.action ? *c.action : new QAction(this);
    a->setText(c.text);
    a->setObjectName(c.name);
    a->setShortcuts(c.shortcuts);
    a->setShortcutContext(Qt::ApplicationShortcut);
    a->setToolTip(TipWithShortcut(c.tip, a->shortcut()));
    addAction(a);
    if (c.handler) connect(a, &QAction::triggered, this, c.handler);
    *c.action = a;
  }
  ConnectButtons();
  ConnectZoom();
  ConnectInputs();
  SetTabOrder();
  // The window's shortcuts work wherever the focus is, also in the edits and number boxes
  // that would take some of them (eventFilter).
  for (QWidget* w : findChildren<QWidget*>())
    if (qobject_cast<QLineEdit*>(w) || qobject_cast<QAbstractSpinBox*>(w))
      w->installEventFilter(this);
}

void TMainForm::ConnectButtons() {
  // The command bar's buttons trigger their actions.
  ExternalImageButton->setDefaultAction(LoadVisibleAction);
  LoadInnerImage->setDefaultAction(LoadHiddenAction);
  QuirButton->setDefaultAction(QuitAction);
  ExportButton->setDefaultAction(ExportAction);
  // Push buttons take their action's tool tip and enabled state.
  const auto trigger = [this](QPushButton* button, QAction* action) {
    connect(button, &QPushButton::clicked, action, &QAction::trigger);
    const auto follow = [button, action] {
      button->setToolTip(action->toolTip());
      button->setEnabled(action->isEnabled());
    };
    connect(action, &QAction::changed, button, follow);
    follow();
  };
  trigger(ResizeButton, ResizeAction);
  trigger(SizeFitButton, ResizeAction);
  trigger(synthesizeButton, SynthesizeAction);
  trigger(SaveGifButton, SaveAction);
  trigger(AutoButton, AutoAction);

  // The GIF box and its action stay in step both ways.
  GifAction->setCheckable(true);
  GifCheckBox->setToolTip(GifAction->toolTip());
  connect(GifAction, &QAction::toggled, GifCheckBox, &QCheckBox::setChecked);
  connect(GifCheckBox, &QCheckBox::toggled, GifAction, &QAction::setChecked);
}

void TMainForm::ConnectZoom() {
  // The zoom controls of each picture window, which work on the window last used.
  ZoomInAction->setIconText("+");
  ZoomOutAction->setIconText(QString(QChar(0x2212)));  // a minus sign
  LinkViewsAction->setCheckable(true);
  LinkViewsAction->setChecked(PictureViews->Linked());
  connect(LinkViewsAction, &QAction::toggled, PictureViews, &TPictureViews::SetLinked);
  // The Reveal window zooms alike, but is not linked with the three.
  for (TPictureWindow* window :
       {ToolWindow972, ToolWindow973, ToolWindow974, static_cast<TPictureWindow*>(RevealWindow)}) {
    TPictureTitleBar* bar = window->TitleBar();
    bar->ZoomOutButton->setDefaultAction(ZoomOutAction);
    bar->ZoomInButton->setDefaultAction(ZoomInAction);
    bar->ZoomMenu->addActions({ZoomFitAction, ZoomActualSizeAction, ZoomInAction, ZoomOutAction});
    if (window != RevealWindow) {
      bar->ZoomMenu->addSeparator();
      bar->ZoomMenu->addAction(LinkViewsAction);
    }
    bar->ZoomMenu->setToolTipsVisible(true);
  }
}

void TMainForm::ConnectInputs() {
  // The sliders, and their spin boxes in step with them: a number typed or stepped moves
  // the slider, whose change handler then runs exactly as for a drag.
  connect(AverageTrackBar, &QSlider::valueChanged, this, &TMainForm::AverageTrackBarChange);
  connect(MinMaxTrackBar, &QSlider::valueChanged, this, &TMainForm::MinMaxTrackBarChange);
  connect(AverageSpinBox, &QSpinBox::valueChanged, AverageTrackBar, &QSlider::setValue);
  connect(ContrastSpinBox, &QSpinBox::valueChanged, MinMaxTrackBar, &QSlider::setValue);
  connect(XEdit, &QLineEdit::textEdited, this, [this](const QString& text) {
    if (Work()) Work()->SetXEditText(text.toStdString());
  });
  connect(YEdit, &QLineEdit::textEdited, this, [this](const QString& text) {
    if (Work()) Work()->SetYEditText(text.toStdString());
  });

  // A picture file dropped on the visible or the hidden picture window loads as the open
  // dialog's answer does.
  connect(ToolWindow972, &TPictureWindow::FileDropped, this,
          [this](const QString& name) { LoadVisibleFile(name); });
  connect(ToolWindow973, &TPictureWindow::FileDropped, this,
          [this](const QString& name) { LoadHiddenFile(name); });
}

void TMainForm::SetTabOrder() {
  // Reading order: the command bar row by row, left to right, then the picture windows
  // left to right, each with its zoom menu (which holds every zoom command) and its view.
  const QList<QWidget*> order = {ExternalImageButton,
                                 LoadInnerImage,
                                 ExportButton,
                                 GifCheckBox,
                                 QuirButton,
                                 ResizeButton,
                                 XEdit,
                                 YEdit,
                                 SizeFitButton,
                                 synthesizeButton,
                                 SaveGifButton,
                                 AverageTrackBar,
                                 MinMaxTrackBar,
                                 AverageSpinBox,
                                 ContrastSpinBox,
                                 AutoButton,
                                 ToolWindow972->TitleBar()->ZoomButton,
                                 ScrollBox1,
                                 ToolWindow973->TitleBar()->ZoomButton,
                                 ScrollBox2,
                                 ToolWindow974->TitleBar()->ZoomButton,
                                 ScrollBox3};
  for (qsizetype i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
}

void TMainForm::CentreOnScreen() {
  const QScreen* screen = this->screen();
  if (screen == nullptr) return;
  QRect frame = frameGeometry();
  frame.moveCenter(screen->availableGeometry().center());
  move(frame.topLeft());
}
