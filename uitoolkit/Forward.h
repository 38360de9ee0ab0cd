#pragma once
// Forward declarations of the toolkit's classes, so headers include this
// instead of each other.
namespace ZembraUI {
class CSkinArchive;
class CMarkupDoc;
class CMarkupElem;
class CLayoutBuilder;
class CUIManager;
class CDrawEngine;
class CControlUI;
struct ImageDescription;
struct LoadedImage;
struct UIRect;
struct UISize;
struct UIPoint;
struct FontInfo;
class CTextRenderer;
class CPaintSurface;
class IImageSource;
class IFontSource;
}  // namespace ZembraUI
