#pragma once
#include <windows.h>
#include <msxml2.h>

// The XML parser's version-4 class and interface ids that this tool chain
// declares but does not define: its uuid library stops at version 3.
extern "C" {
extern const CLSID CLSID_DOMDocument40;
extern const CLSID CLSID_SAXXMLReader40;
extern const CLSID CLSID_MXXMLWriter40;
extern const IID IID_IXMLDOMDocument2;
extern const IID IID_ISAXXMLReader;
extern const IID IID_ISAXContentHandler;
extern const IID IID_ISAXDTDHandler;
extern const IID IID_ISAXErrorHandler;
extern const IID IID_ISAXLexicalHandler;
extern const IID IID_ISAXDeclHandler;
extern const IID IID_IMXWriter;
}
