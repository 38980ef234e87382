/* The connection manager's list as it crosses processes: the safe array of
   interface pointers becomes a counted array on the wire and a VT_UNKNOWN
   safe array again on the caller's side, where the array's type survives. */
#include <windows.h>
#include <ole2.h>
#include "QorsalConnectionManager.h"

HRESULT CALLBACK IQorsalConnectionManager_GetConnections_Proxy(IQorsalConnectionManager* This,
                                                               LPSAFEARRAY* elements) {
  QorsalConnectionList list = {0, NULL};
  HRESULT hr;
  ULONG i;
  if (!elements) return E_POINTER;
  *elements = NULL;
  hr = IQorsalConnectionManager_RemoteGetConnections_Proxy(This, &list);
  if (SUCCEEDED(hr)) {
    *elements = SafeArrayCreateVector(VT_UNKNOWN, 0, list.count);
    if (!*elements) hr = E_OUTOFMEMORY;
  }
  for (i = 0; i < list.count && list.items; ++i) {
    LONG index = (LONG)i;
    if (SUCCEEDED(hr) && list.items[i]) hr = SafeArrayPutElement(*elements, &index, list.items[i]);
    if (list.items[i]) list.items[i]->lpVtbl->Release(list.items[i]);
  }
  CoTaskMemFree(list.items);
  if (FAILED(hr) && *elements) {
    SafeArrayDestroy(*elements);
    *elements = NULL;
  }
  return hr;
}

HRESULT __RPC_STUB IQorsalConnectionManager_GetConnections_Stub(IQorsalConnectionManager* This,
                                                                QorsalConnectionList* elements) {
  SAFEARRAY* array = NULL;
  LONG lower = 0, upper = -1, i;
  HRESULT hr;
  elements->count = 0;
  elements->items = NULL;
  hr = This->lpVtbl->GetConnections(This, &array);
  if (FAILED(hr) || !array) return hr;
  SafeArrayGetLBound(array, 1, &lower);
  SafeArrayGetUBound(array, 1, &upper);
  if (upper >= lower) {
    elements->items = (IUnknown**)CoTaskMemAlloc(sizeof(IUnknown*) * (size_t)(upper - lower + 1));
    if (!elements->items) hr = E_OUTOFMEMORY;
  }
  for (i = lower; SUCCEEDED(hr) && i <= upper; ++i) {
    IUnknown* element = NULL;
    /* Each element keeps the reference the array gave it: the stub releases
       it once marshalled. */
    if (SUCCEEDED(SafeArrayGetElement(array, &i, &element)) && element)
      elements->items[elements->count++] = element;
  }
  SafeArrayDestroy(array);
  return hr;
}
