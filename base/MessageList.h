// The one list of the system's message texts, read by base/Messages.h (it has no include
// guard: each reader defines LV_MESSAGE(name, text, sense) before including it).
//
// text:  the system's own text, as it is shown. The class library's and the plug-in
//        host's texts are Japanese (kept in UTF-8 here), the GIF and chart libraries'
//        texts English.
// sense: the English sense of a Japanese text, with the same printf conversions in the
//        same order (it may stop before the text's last ones); empty for English texts.

// The class library's string table.
LV_MESSAGE(SInvalidBitmap, "ビットマップイメージが不正です", "bitmap image is not valid")
LV_MESSAGE(SInvalidPixelFormat, "画像フォーマットが不正です", "invalid picture format")
LV_MESSAGE(SScanLine, "スキャンライン のインデックスが範囲を越えました",
           "scan line index out of range")
// The same error where the composition meets an empty hidden picture (none loaded yet):
// the class library's text, with a sense that says what to do.
LV_MESSAGE(SScanLineNoHiddenPicture, "スキャンライン のインデックスが範囲を越えました",
           "scan line index out of range: there is no hidden picture yet; load a hidden "
           "picture first")
LV_MESSAGE(SReadError, "ストリームからの読み込みエラー", "stream read error")
LV_MESSAGE(SWriteError, "ストリームへの書き込みエラー", "stream write error")
LV_MESSAGE(SFOpenError, "ファイル %s は開けません", "cannot open file %s")
LV_MESSAGE(SFCreateError, "ファイル %s を作成できません", "cannot create file %s")
// The platform's own text for the code follows on a line of its own.
LV_MESSAGE(SOSError, "システムエラー。コード：%d.\n%s", "system error, code %d")
LV_MESSAGE(SUnknownPictureFormat, "認識できない画像形式です", "unrecognised picture format")
LV_MESSAGE(SListIndexError, "リストのインデックスが範囲を超えています (%d)",
           "list index out of bounds (%d)")
LV_MESSAGE(SAbstractError, "抽象メソッドを呼び出しました", "abstract method called")
LV_MESSAGE(SAssignError, "%s を %s に代入できません", "cannot assign a %s to a %s")
LV_MESSAGE(SInvalidInteger, "'%s' は整数値ではありません", "'%s' is not a valid integer value")
LV_MESSAGE(SInvalidFloat, "'%s' は浮動小数点数値ではありません",
           "'%s' is not a valid floating point value")
LV_MESSAGE(SZeroDivide, "0 による浮動小数点除算", "floating point division by zero")
LV_MESSAGE(SInvalidOp, "浮動小数点演算が不正です", "invalid floating point operation")
LV_MESSAGE(SOutOfMemory, "メモリが足りません", "out of memory")
LV_MESSAGE(SInvalidStreamOperation, "Invalid stream operation", "")
// Our own limit on picture sizes (the store of one picture may not exceed 1 GiB).
LV_MESSAGE(SPictureTooLarge,
           "画像が大きすぎます (%lld x %lld, %d ビット/ピクセル, 上限 %llu バイト)",
           "the picture is too large (%lld x %lld, %d bits per pixel, limit %llu bytes)")
// Our own bound on the memory the pictures of one run hold at once (the command-line tool
// sets it): what they would hold, rounded up to MiB, and the bound.
LV_MESSAGE(SPixelMemoryBound,
           "the pictures of this run would hold %llu MiB at once; a run may hold at most %s of "
           "pictures",
           "")
// The BMP reader's own texts for what the invalid-bitmap message leaves open: a malformed
// header names the field, an unsupported one the form it has.
LV_MESSAGE(SBitmapColoursUsed, "ビットマップイメージが不正です (使用色数 %u, 256 まで)",
           "bitmap image is not valid (%u colours used, at most 256)")
LV_MESSAGE(SBitmapSize, "ビットマップイメージが不正です (大きさ %d x %d)",
           "bitmap image is not valid (size %d x %d)")
LV_MESSAGE(SBitmapCompressionBits,
           "ビットマップイメージが不正です (圧縮形式 %u, %d ビット/ピクセル)",
           "bitmap image is not valid (compression %u at %d bits per pixel)")
LV_MESSAGE(SBitmapTopDownRunLength, "ビットマップイメージが不正です (上から下へのランレングス圧縮)",
           "bitmap image is not valid (run-length data stored top-down)")
LV_MESSAGE(SBitmapHeaderSize, "%u バイトのヘッダーのビットマップには対応していません",
           "bitmaps with a header of %u bytes are not supported")
LV_MESSAGE(SBitmapBitCount, "%d ビット/ピクセルのビットマップには対応していません",
           "bitmaps of %d bits per pixel are not supported")
LV_MESSAGE(SBitmapCompression, "圧縮形式 %u のビットマップには対応していません",
           "bitmaps with compression %u are not supported")
// A BMP file that ends before its last row: what the missing rows show, where they are,
// how many of how many.
LV_MESSAGE(SCutShortRows, "cut short: the missing rows are %s (the %s %d of %d rows)", "")
LV_MESSAGE(SCutShortBlack, "black", "")
LV_MESSAGE(SCutShortFirstColour, "the colour table's first colour", "")
LV_MESSAGE(SCutShortTop, "top", "")
LV_MESSAGE(SCutShortBottom, "bottom", "")
// Our own checks of the composition: a picture size of 0 or below asked for by the x, y
// edits, and tone values outside 0 .. 255.
LV_MESSAGE(SInvalidPictureSize, "画像のサイズが不正です (%d x %d)",
           "invalid picture size (%d x %d)")
LV_MESSAGE(SInvalidTone, "階調の値が不正です (平均 %d, コントラスト %d)",
           "invalid tone values (average %d, contrast %d)")

// Descriptions of the picture format registry.
LV_MESSAGE(SVMetafiles, "メタファイル", "metafile")
LV_MESSAGE(SVEnhMetafiles, "エンハンス メタファイル", "enhanced metafile")
LV_MESSAGE(SVIcons, "アイコン", "icon")
LV_MESSAGE(SVBitmaps, "ビットマップ", "bitmap")
LV_MESSAGE(SVJPEGImageFile, "JPEG イメージファイル", "JPEG image file")
LV_MESSAGE(SGIFImage, "GIF Image", "")
LV_MESSAGE(SJPEGError, "JPEG エラー #%d", "JPEG error #%d")
LV_MESSAGE(SJPEGChangeSize, "JPEG イメージのサイズは変更できません",
           "the size of a JPEG image cannot be changed")
LV_MESSAGE(SChangeIconSize, "アイコンのサイズは変更できません",
           "the size of an icon cannot be changed")
LV_MESSAGE(SInvalidIcon, "アイコン イメージが不正です", "icon image is not valid")

// The plug-in host.
LV_MESSAGE(SSPIFOpenError, "%s:Susie Pluginがロードできませんでした",
           "%s: the Susie plug-in failed to load")
LV_MESSAGE(SSPIInvalidSPI, "%s:認識できないSusie Pluginです", "%s: not a recognised Susie plug-in")
LV_MESSAGE(SSPIInvalidAPI, "%sは[%s]では使えないSusie Plugin APIです",
           "%s is a Susie plug-in API entry not available in [%s]")
LV_MESSAGE(SSPIDupCreate, "TSPIs は複数生成できません", "TSPIs cannot be created more than once")
// Our own texts for what a plug-in may hand back wrongly: the message names the plug-in,
// the detail after it says what was wrong.
LV_MESSAGE(SInvalidLocalHandle, "不正なメモリハンドルです", "not a valid memory handle")
LV_MESSAGE(SSPIInvalidResult, "%s:Susie Pluginが不正なデータを返しました (%s)",
           "%s: the Susie plug-in returned invalid data (%s)")
LV_MESSAGE(SSPIInfoTextHandle, "情報テキスト: 不正なメモリハンドルです",
           "information text: not a valid memory handle")
LV_MESSAGE(SSPIInfoBlockHandle, "情報ブロック: 不正なメモリハンドルです",
           "information block: not a valid memory handle")
LV_MESSAGE(SSPIBitsHandle, "ピクセルデータ: 不正なメモリハンドルです",
           "pixel data: not a valid memory handle")
LV_MESSAGE(SSPIInfoBlockShort, "情報ブロックが %zu バイトしかありません",
           "the information block has only %zu bytes")
LV_MESSAGE(SSPIHeaderSize, "ヘッダーの大きさ %u (情報ブロック %zu バイト)",
           "header size %u (information block of %zu bytes)")
LV_MESSAGE(SSPIInfoBlockNeeds, "情報ブロックに %llu バイト必要ですが %zu バイトです",
           "the information block needs %llu bytes but has %zu")
LV_MESSAGE(SSPIBitsNeed, "ピクセルデータに %llu バイト必要ですが %zu バイトです",
           "the pixel data needs %llu bytes but has %zu")
LV_MESSAGE(SSPITooLarge, "画像が大きすぎます", "the picture is too large")

// What the loader learned about a file it could not read (English, for the person: the
// detail after the exception's message). The whole file is read into memory, so a file
// above the limit is refused by its size first.
LV_MESSAGE(SInputFileTooLarge, "the file is %s (%llu bytes); a picture file may have at most %s",
           "")
// One reader or plug-in that recognised the file's head and then gave up: who, and why.
LV_MESSAGE(SReaderFailed, "%s recognised the file's head, then failed: %s", "")
LV_MESSAGE(SOwnReaderName, "the %s reader", "")
LV_MESSAGE(SPluginName, "plug-in %s", "")
LV_MESSAGE(SPluginNameAtOffset, "plug-in %s (from byte %zu)", "")
// A plug-in entry's result other than success: entry, result, and its meaning below.
LV_MESSAGE(SPluginResult, "%s returned %d (%s)", "")
LV_MESSAGE(SPluginResultAborted, "aborted", "")
LV_MESSAGE(SPluginResultUnknownFormat, "unknown format", "")
LV_MESSAGE(SPluginResultBrokenData, "damaged data", "")
LV_MESSAGE(SPluginResultNoMemory, "out of memory", "")
LV_MESSAGE(SPluginResultMemoryError, "memory error", "")
LV_MESSAGE(SPluginResultFileReadError, "file read error", "")
LV_MESSAGE(SPluginResultInternalError, "internal error", "")
LV_MESSAGE(SPluginResultNotImplemented, "not implemented", "")
LV_MESSAGE(SPluginResultOther, "an undefined result", "")

// The thread setting: its text, and the number of threads used instead.
LV_MESSAGE(SThreadsInvalid,
           "LUMIVEIL_THREADS='%s' is not a whole number from 1 up; the work runs on one "
           "thread per processor core (%d)",
           "")
LV_MESSAGE(SThreadsTooMany, "LUMIVEIL_THREADS=%s is more than the work uses; it runs on %d threads",
           "")

// Saving (English): the refusal of an empty picture, and the detail after the
// file-creation message for a target of another kind.
LV_MESSAGE(SEmptyPictureNotSaved, "%s: the picture is empty, and an empty picture is never saved",
           "")
LV_MESSAGE(SSaveTargetKind,
           "it is %s; only a regular file, a character device or a FIFO can be written", "")
LV_MESSAGE(SKindDirectory, "a directory", "")
LV_MESSAGE(SKindSocket, "a socket", "")
LV_MESSAGE(SKindBlockDevice, "a block device", "")
LV_MESSAGE(SKindOther, "not a regular file", "")
LV_MESSAGE(SKindFifo, "a FIFO", "")
LV_MESSAGE(SKindCharDevice, "a character device", "")
// A symbolic link that another user made in a shared folder such as /tmp (link, its owner,
// the folder), the detail of an open or create failure.
LV_MESSAGE(SPlantedLink,
           "the way there passes the symbolic link %s, which belongs to user %u and lies in %s, "
           "a sticky folder that all may write to; such a link is followed only when it is "
           "yours or the folder owner's",
           "")

// A configuration file that was skipped (the file, why), and the reasons.
LV_MESSAGE(SConfigNotRead, "%s: not read: %s", "")
LV_MESSAGE(SConfigNotRegular, "it is %s; only a regular file is read", "")
LV_MESSAGE(SConfigTooLarge, "it holds %s; a configuration file is read up to %s", "")

// Plug-ins that were found but not loaded (English, as `lumiveil plugins` lists them).
LV_MESSAGE(SPluginNotOwned, "not opened: %s belongs to user %u, neither to you nor to root", "")
LV_MESSAGE(SPluginWritable, "not opened: %s is writable by %s (mode %04o)", "")
LV_MESSAGE(SPluginWritableGroup, "its group", "")
LV_MESSAGE(SPluginWritableOthers, "others", "")
LV_MESSAGE(SPluginNotRegular, "not opened: %s is not a regular file", "")
LV_MESSAGE(SPluginNotFound, "not opened: %s: %s", "")
LV_MESSAGE(SPluginNotAccepted, "loaded, but not accepted by the search", "")
LV_MESSAGE(SPluginMissingEntry, "it has no entry \"%s\"", "")

// The GIF library (English, as that library's own texts).
LV_MESSAGE(SGIFColorTableOverflow, "Color table overflow", "")
LV_MESSAGE(SGIFUnsupportedPixelFormat, "Unsupported PixelFormat", "")
LV_MESSAGE(SGIFInvalidImageDimensions, "Invalid image dimensions", "")
LV_MESSAGE(SGIFImageHasNoDIB, "Image has no DIB", "")
LV_MESSAGE(SGIFInvalidBitsPerPixel, "Invalid Bits Per Pixel value", "")
LV_MESSAGE(SGIFOutOfMemoryDIB, "Failed to allocate memory for GIF DIB", "")
LV_MESSAGE(SGIFColorNotInTable, "Color not in color table", "")
LV_MESSAGE(SGIFUnsupportedVersion, "Unsupported GIF version", "")
LV_MESSAGE(SGIFSaving, "Saving...", "")
LV_MESSAGE(SGIFConverting, "Converting...", "")
LV_MESSAGE(SGIFCopying, "Copying...", "")
LV_MESSAGE(SGIFInvalidBitmapList, "Invalid bitmap list", "")
// Our own texts of the GIF library.
LV_MESSAGE(SGIFReadingNotSupported, "Reading GIF files is not supported", "")
LV_MESSAGE(SGIFInvalidColorCount, "Invalid number of colors (%d, 1 to 256)", "")
LV_MESSAGE(SGIFNoReducedPicture, "Color reduction \"%s\" with dither mode \"%s\" gave no picture",
           "")
LV_MESSAGE(SGIFHashTableFull, "LZW hash table full", "")
LV_MESSAGE(SGIFBlockTooLarge, "Data block too large (%d bytes, at most 255)", "")
LV_MESSAGE(SGIFForeignFrame, "The frame belongs to another GIF image", "")

// Our own texts of the PNG writer (English, as the GIF library's).
LV_MESSAGE(SPNGError, "PNG error: %s", "")
LV_MESSAGE(SPNGEmptyPicture, "An empty picture cannot be saved as PNG", "")
LV_MESSAGE(SPNGInvalidText, "Invalid PNG text chunk (keyword \"%s\")", "")

// The chart library's export formats.
LV_MESSAGE(TeeMsg_ExportPanelNotSet, "Panel property is not set in Export format", "")
LV_MESSAGE(TeeMsg_AsGIF, "as &GIF", "")
LV_MESSAGE(TeeMsg_GIFFilter, "GIF files (*.gif)|*.gif", "")
LV_MESSAGE(TeeMsg_NoClipboard, "There is no clipboard to copy the picture to", "")

// The window's own text: saving with no combined picture, which would write an empty file.
LV_MESSAGE(SNothingToSave,
           "There is no combined picture to save yet: load a visible and a hidden picture first.",
           "")
// A load that gave no picture at all (the BMP reader makes an empty one of an empty file):
// what the window tells of a picture it did not load.
LV_MESSAGE(SLoadedNoPicture, "holds no picture: the file is empty", "")

// The reveal module: views, band and scores of a combined picture.
LV_MESSAGE(SRevealEmptyPicture, "There is no picture to reveal: the combined picture is empty", "")
LV_MESSAGE(SRevealInvalidBand,
           "Invalid band (average %d, contrast %d): the average is 0 to 255 and the contrast "
           "0 to the average's limit",
           "")
LV_MESSAGE(SRevealInvalidThumbnailSize, "Invalid thumbnail size %d (1 to %d)", "")
LV_MESSAGE(SRevealSizesDiffer, "The pictures to compare differ in size (%d x %d and %d x %d)", "")

// The targets module: what a site or viewer makes of a combined picture.
LV_MESSAGE(STargetRecipeInvalid, "Invalid target \"%s\": %s", "")
LV_MESSAGE(STargetCodecFailed, "The %s codec failed on a %d x %d picture (%s)", "")
LV_MESSAGE(STargetBandBound,
           "No band keeps the normal view at %.2f dB of visible-psnr: the most any band "
           "keeps is %.2f dB (average %d, contrast %d)",
           "")
LV_MESSAGE(STargetBandStopped, "The search for a band was stopped", "")
