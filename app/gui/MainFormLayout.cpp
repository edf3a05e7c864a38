// The main window's controls at their form places, and the actions that the buttons
// trigger.
#include <QAction>
#include <QCheckBox>
#include <QDockWidget>
#include <QFontDatabase>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSlider>
#include <QStatusBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/gui/ImageBox.h"
#include "app/gui/MainForm.h"

namespace {

// The command bar's client area; its controls sit at fixed places within it.
constexpr int kBarWidth = 600, kBarHeight = 142;
// A picture window's client area: 187 x 196 where the window has room for it; it may
// give up some height so that the window starts at 623 x 388 with this platform's taller
// window captions.
constexpr int kPictureWidth = 187, kPictureMinHeight = 120;

QToolButton* FlatButton(QWidget* parent, const char* name, const char* caption, QRect place) {
  auto* b = new QToolButton(parent);
  b->setObjectName(name);
  b->setText(caption);
  b->setAutoRaise(true);
  b->setToolButtonStyle(Qt::ToolButtonTextOnly);
  // A toolbar button takes no focus, so clicking it leaves an edit's focus alone.
  b->setFocusPolicy(Qt::NoFocus);
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
  addDockWidget(Qt::TopDockWidgetArea, ToolWindow971);

  ToolWindow972 = CreatePictureWindow("ToolWindow972", ScrollBox1, Image1);
  ToolWindow973 = CreatePictureWindow("ToolWindow973", ScrollBox2, Image2);
  ToolWindow974 = CreatePictureWindow("ToolWindow974", ScrollBox3, Image3);
  Image1->setObjectName("Image1");
  Image2->setObjectName("Image2");
  Image3->setObjectName("Image3");
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
  StatusPanel1 = new QLabel;
  StatusPanel1->setObjectName("StatusPanel1");
  StatusPanel1->setFixedWidth(50);
  StatusPanel1->setFrameShape(QFrame::Panel);
  StatusPanel1->setFrameShadow(QFrame::Sunken);
  statusBar()->setObjectName("StatusBar1");
  statusBar()->addWidget(StatusPanel0);
  statusBar()->addWidget(StatusPanel1);

  resize(623, 388);
  CentreOnScreen();
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
  ExportPngButton = FlatButton(bar, "ExportPngButton", "Export PNG...", {252, 4, 105, 22});
  GifCheckBox = new QCheckBox("GIF", bar);
  GifCheckBox->setObjectName("GifCheckBox");
  GifCheckBox->setGeometry(408, 12, 53, 17);

  Bevel1 = Bevel(bar, "Bevel1", {12, 32, 213, 29});
  ResizeButton = Button(bar, "ResizeButton", "Resize", {20, 36, 61, 22});
  XYLabel = Label(bar, "XYLabel", "x,y =", {93, 40});
  XEdit = Edit(bar, "XEdit", {120, 36, 33, 20});
  YEdit = Edit(bar, "YEdit", {160, 36, 41, 20});
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
}

QDockWidget* TMainForm::CreatePictureWindow(const char* name, QScrollArea*& scroll,
                                            TImageBox*& image) {
  auto* window = new QDockWidget("ToolWindow972", this);
  window->setObjectName(name);
  window->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
  auto* client = new QWidget;
  auto* layout = new QVBoxLayout(client);
  layout->setContentsMargins(0, 0, 0, 0);
  scroll = new QScrollArea;
  scroll->setMinimumSize(kPictureWidth, kPictureMinHeight);
  // The box keeps the picture's natural size; a larger picture scrolls.
  scroll->setWidgetResizable(false);
  scroll->setBackgroundRole(QPalette::Dark);
  image = new TImageBox;
  image->resize(0, 0);
  scroll->setWidget(image);
  layout->addWidget(scroll);
  window->setWidget(client);
  return window;
}

void TMainForm::CreateActions() {
  const auto action = [this](const char* name, const QString& text, void (TMainForm::*handler)()) {
    auto* a = new QAction(text, this);
    a->setObjectName(name);
    connect(a, &QAction::triggered, this, handler);
    return a;
  };
  LoadVisibleAction =
      action("LoadVisibleAction", "Load Visible Image", &TMainForm::ExternalImageButtonClick);
  LoadHiddenAction =
      action("LoadHiddenAction", "Load Hiden Image", &TMainForm::LoadInnerImageClick);
  ResizeAction = action("ResizeAction", "Resize", &TMainForm::SizeFitButtonClick);
  SynthesizeAction = action("SynthesizeAction", "Synthesize", &TMainForm::synthesizeButtonClick);
  SaveAction = action("SaveAction", "Save to File", &TMainForm::SaveGifButtonClick);
  QuitAction = action("QuitAction", "Quit", &TMainForm::QuirButtonClick);

  ExternalImageButton->setDefaultAction(LoadVisibleAction);
  LoadInnerImage->setDefaultAction(LoadHiddenAction);
  QuirButton->setDefaultAction(QuitAction);
  connect(ResizeButton, &QPushButton::clicked, ResizeAction, &QAction::trigger);
  connect(SizeFitButton, &QPushButton::clicked, ResizeAction, &QAction::trigger);
  connect(synthesizeButton, &QPushButton::clicked, SynthesizeAction, &QAction::trigger);
  connect(SaveGifButton, &QPushButton::clicked, SaveAction, &QAction::trigger);

  connect(AverageTrackBar, &QSlider::valueChanged, this, &TMainForm::AverageTrackBarChange);
  connect(MinMaxTrackBar, &QSlider::valueChanged, this, &TMainForm::MinMaxTrackBarChange);
  connect(XEdit, &QLineEdit::textEdited, this, [this](const QString& text) {
    if (Work()) Work()->SetXEditText(text.toStdString());
  });
  connect(YEdit, &QLineEdit::textEdited, this, [this](const QString& text) {
    if (Work()) Work()->SetYEditText(text.toStdString());
  });
}

void TMainForm::CentreOnScreen() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  QRect frame = frameGeometry();
  frame.moveCenter(screen->availableGeometry().center());
  move(frame.topLeft());
}
