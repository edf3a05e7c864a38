// The graphic base class and class references: every kind of picture (bitmap, JPEG, GIF,
// icon, metafile) derives from TGraphic, and a TGraphicClass names a class so that a
// picture of exactly that class can be made from it (the registry and TPicture do this).
#pragma once

#include <functional>
#include <memory>
#include <string>

class TCanvas;
class TGraphic;
class TStream;
struct TRect;

// A class reference: the class's name, its parent, and a factory (a virtual constructor).
struct TGraphicClass {
  const char* name;
  const TGraphicClass* parent;
  std::unique_ptr<TGraphic> (*create)();

  bool InheritsFrom(const TGraphicClass& other) const {
    for (const TGraphicClass* c = this; c != nullptr; c = c->parent)
      if (c == &other) return true;
    return false;
  }
};

// Declares the class reference of a graphic class: Class() returns it, ClassType() returns
// the dynamic class.
#define LV_GRAPHIC_CLASS_DECL(Name)                 \
 public:                                            \
  static const TGraphicClass& Class();              \
  const TGraphicClass& ClassType() const override { \
    return Name::Class();                           \
  }

// Defines it, in the class's .cpp file.
#define LV_GRAPHIC_CLASS_IMPL(Name, Parent)                                                     \
  const TGraphicClass& Name::Class() {                                                          \
    static const TGraphicClass cls{                                                             \
        #Name, Parent, []() -> std::unique_ptr<TGraphic> { return std::make_unique<Name>(); }}; \
    return cls;                                                                                 \
  }

enum class TProgressStage { psStarting, psRunning, psEnding };

class TGraphic {
 public:
  using TNotifyEvent = std::function<void(TGraphic& sender)>;
  using TProgressEvent = std::function<void(TGraphic& sender, TProgressStage stage, int percent,
                                            bool redraw_now, const std::string& msg)>;

  TGraphic() = default;
  TGraphic(const TGraphic&) = delete;
  TGraphic& operator=(const TGraphic&) = delete;
  virtual ~TGraphic() = default;

  static const TGraphicClass& Class();
  virtual const TGraphicClass& ClassType() const = 0;
  const char* ClassName() const { return ClassType().name; }
  bool InheritsFrom(const TGraphicClass& cls) const { return ClassType().InheritsFrom(cls); }

  virtual bool Empty() const = 0;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual void SetWidth(int value) = 0;
  virtual void SetHeight(int value) = 0;
  virtual bool Transparent() const { return transparent_; }
  virtual void SetTransparent(bool value);

  // Copies source into this graphic; nullptr empties it. A source this class cannot take
  // is offered source->AssignTo(*this); when that fails too, EConvertError is raised.
  virtual void Assign(const TGraphic* source);
  // Copies this graphic into dest when this class knows how; returns false otherwise.
  virtual bool AssignTo(TGraphic& dest) const;

  virtual void LoadFromStream(TStream& stream) = 0;
  virtual void SaveToStream(TStream& stream) = 0;
  // Opens the file for reading (others may not write it) and calls LoadFromStream.
  virtual void LoadFromFile(const std::string& file_name);
  // Writes the file safely: a temporary file beside it, renamed over it only when the
  // whole picture was written (see platform/Files.h). An empty picture is refused before
  // anything is created (CheckNotEmpty).
  virtual void SaveToFile(const std::string& file_name);
  // The one rule for every front end: an empty picture is never saved, since its file
  // would be empty or a picture of nothing in place of what the name held. Raises
  // EInvalidGraphicOperation naming the file.
  void CheckNotEmpty(const std::string& file_name) const;

  // Draws the picture scaled into rect on the canvas; an empty picture draws nothing.
  virtual void Draw(TCanvas& canvas, const TRect& rect) const;

  // The graphic's stored data inside a stored picture (a form resource).
  virtual void ReadData(TStream& stream);
  virtual void WriteData(TStream& stream);

  TNotifyEvent OnChange;
  TProgressEvent OnProgress;

 protected:
  virtual void Changed();
  void Progress(TProgressStage stage, int percent, bool redraw_now, const std::string& msg);

 private:
  bool transparent_ = false;
};
