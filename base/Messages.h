// Every message text of the system in one place. The class library's and the plug-in
// host's texts are Japanese (kept in UTF-8 here), the GIF and chart libraries' texts
// English. Texts with %s or %d are filled in with Format().
#pragma once

// The class library's string table.
inline constexpr const char SInvalidBitmap[] = "ビットマップイメージが不正です";
inline constexpr const char SInvalidPixelFormat[] = "画像フォーマットが不正です";
inline constexpr const char SScanLine[] = "スキャンライン のインデックスが範囲を越えました";
inline constexpr const char SReadError[] = "ストリームからの読み込みエラー";
inline constexpr const char SWriteError[] = "ストリームへの書き込みエラー";
inline constexpr const char SFOpenError[] = "ファイル %s は開けません";
inline constexpr const char SFCreateError[] = "ファイル %s を作成できません";
inline constexpr const char SOSError[] = "システムエラー。コード：%d.\n%s";
inline constexpr const char SUnknownPictureFormat[] = "認識できない画像形式です";
inline constexpr const char SListIndexError[] = "リストのインデックスが範囲を超えています (%d)";
inline constexpr const char SAbstractError[] = "抽象メソッドを呼び出しました";
inline constexpr const char SAssignError[] = "%s を %s に代入できません";
inline constexpr const char SInvalidInteger[] = "'%s' は整数値ではありません";
inline constexpr const char SInvalidFloat[] = "'%s' は浮動小数点数値ではありません";
inline constexpr const char SZeroDivide[] = "0 による浮動小数点除算";
inline constexpr const char SInvalidOp[] = "浮動小数点演算が不正です";
inline constexpr const char SOutOfMemory[] = "メモリが足りません";
inline constexpr const char SInvalidStreamOperation[] = "Invalid stream operation";
// Our own limit on picture sizes (the store of one picture may not exceed 1 GiB).
inline constexpr const char SPictureTooLarge[] = "画像が大きすぎます (%d x %d, %d ビット/ピクセル)";
// Our own checks of the composition: a picture size of 0 or below asked for by the x, y
// edits, and tone values outside 0 .. 255.
inline constexpr const char SInvalidPictureSize[] = "画像のサイズが不正です (%d x %d)";
inline constexpr const char SInvalidTone[] = "階調の値が不正です (平均 %d, コントラスト %d)";

// Descriptions of the picture format registry.
inline constexpr const char SVMetafiles[] = "メタファイル";
inline constexpr const char SVEnhMetafiles[] = "エンハンス メタファイル";
inline constexpr const char SVIcons[] = "アイコン";
inline constexpr const char SVBitmaps[] = "ビットマップ";
inline constexpr const char SVJPEGImageFile[] = "JPEG イメージファイル";
inline constexpr const char SGIFImage[] = "GIF Image";
inline constexpr const char SJPEGError[] = "JPEG エラー #%d";
inline constexpr const char SJPEGChangeSize[] = "JPEG イメージのサイズは変更できません";
inline constexpr const char SChangeIconSize[] = "アイコンのサイズは変更できません";
inline constexpr const char SInvalidIcon[] = "アイコン イメージが不正です";

// The plug-in host.
inline constexpr const char SSPIFOpenError[] = "%s:Susie Pluginがロードできませんでした";
inline constexpr const char SSPIInvalidSPI[] = "%s:認識できないSusie Pluginです";
inline constexpr const char SSPIInvalidAPI[] = "%sは[%s]では使えないSusie Plugin APIです";
inline constexpr const char SSPIDupCreate[] = "TSPIs は複数生成できません";
// Our own texts for what a plug-in may hand back wrongly.
inline constexpr const char SInvalidLocalHandle[] = "不正なメモリハンドルです";
inline constexpr const char SSPIInvalidResult[] = "%s:Susie Pluginが不正なデータを返しました (%s)";

// The GIF library (English, as that library's own texts).
inline constexpr const char SGIFColorTableOverflow[] = "Color table overflow";
inline constexpr const char SGIFUnsupportedPixelFormat[] = "Unsupported PixelFormat";
inline constexpr const char SGIFInvalidImageDimensions[] = "Invalid image dimensions";
inline constexpr const char SGIFImageHasNoDIB[] = "Image has no DIB";
inline constexpr const char SGIFInvalidBitsPerPixel[] = "Invalid Bits Per Pixel value";
inline constexpr const char SGIFOutOfMemoryDIB[] = "Failed to allocate memory for GIF DIB";
inline constexpr const char SGIFColorNotInTable[] = "Color not in color table";
inline constexpr const char SGIFUnsupportedVersion[] = "Unsupported GIF version";
inline constexpr const char SGIFSaving[] = "Saving...";
inline constexpr const char SGIFConverting[] = "Converting...";
inline constexpr const char SGIFCopying[] = "Copying...";
inline constexpr const char SGIFInvalidBitmapList[] = "Invalid bitmap list";
// Our own texts of the GIF library.
inline constexpr const char SGIFReadingNotSupported[] = "Reading GIF files is not supported";
inline constexpr const char SGIFInvalidColorCount[] = "Invalid number of colors (%d, 1 to 256)";
inline constexpr const char SGIFNoReducedPicture[] =
    "Color reduction \"%s\" with dither mode \"%s\" gave no picture";
inline constexpr const char SGIFHashTableFull[] = "LZW hash table full";
inline constexpr const char SGIFBlockTooLarge[] = "Data block too large (%d bytes, at most 255)";
inline constexpr const char SGIFForeignFrame[] = "The frame belongs to another GIF image";

// Our own texts of the PNG writer (English, as the GIF library's).
inline constexpr const char SPNGError[] = "PNG error: %s";
inline constexpr const char SPNGEmptyPicture[] = "An empty picture cannot be saved as PNG";
inline constexpr const char SPNGInvalidText[] = "Invalid PNG text chunk (keyword \"%s\")";

// The chart library's export formats.
inline constexpr const char TeeMsg_ExportPanelNotSet[] =
    "Panel property is not set in Export format";
inline constexpr const char TeeMsg_AsGIF[] = "as &GIF";
inline constexpr const char TeeMsg_GIFFilter[] = "GIF files (*.gif)|*.gif";
inline constexpr const char TeeMsg_NoClipboard[] = "There is no clipboard to copy the picture to";

// The window's own text: saving with no combined picture, which would write an empty file.
inline constexpr const char SNothingToSave[] =
    "There is no combined picture to save yet: load a visible and a hidden picture first.";
