#pragma once
#include <windows.h>
#include <msxml2.h>

// The XML parser's version-6 document class and its version-3 document
// interface, which the platform headers of this tool chain do not declare.
// The version-3 interface only adds members after IXMLDOMDocument2's, so it
// is used through that declaration.
extern "C" const CLSID CLSID_DOMDocument60;
extern "C" const IID IID_IXMLDOMDocument3;
typedef IXMLDOMDocument2 IXMLDOMDocument3Compatible;
