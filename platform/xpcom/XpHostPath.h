#pragma once
#include <windows.h>
#include <string>
#include "XpcomGlue.h"
#include "xpOrvexDialix.h"

// xphost's "read" command: one step of a path such as
// OperationData.Item(1).SerialNumber at a time.
namespace XpHost {

// One value read along a path: an object, or a text.
struct Value {
  nsCOMPtr<nsISupports> object;
  std::wstring text;
};

template <class I>
nsCOMPtr<I> As(nsISupports* object) {
  return do_QueryInterface<I>(object);
}

// One step of a path on whichever of our interfaces the object answers.
nsresult Step(nsISupports* from, const std::wstring& name, PRInt32 index, Value* out);

}  // namespace XpHost
