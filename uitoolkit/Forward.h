#pragma once
// Forward declarations of the toolkit's classes, so headers include this
// instead of each other.
namespace DuiLib {
class CMarkupDoc;
class CMarkupElem;
class CLayoutBuilder;
class CUIManager;
class CDrawEngine;
class CControlUI;
}  // namespace DuiLib
