#include <windows.h>
#include "XpHostPath.h"
#include "XpHostCallback.h"

namespace XpHost {

namespace {

template <class I, class Get>
bool ReadText(nsISupports* from, Get get, Value* out, nsresult* rv) {
  nsCOMPtr<I> face = As<I>(from);
  if (!face) return false;
  nsString text;
  *rv = (face.get()->*get)(text);
  out->text = Text(text);
  return true;
}

template <class I, class V, class Get>
bool ReadNumber(nsISupports* from, Get get, Value* out, nsresult* rv) {
  nsCOMPtr<I> face = As<I>(from);
  if (!face) return false;
  V value = 0;
  *rv = (face.get()->*get)(&value);
  out->text = std::to_wstring(value);
  return true;
}

template <class I, class O, class Get>
bool ReadObject(nsISupports* from, Get get, Value* out, nsresult* rv) {
  nsCOMPtr<I> face = As<I>(from);
  if (!face) return false;
  nsCOMPtr<O> object;
  *rv = (face.get()->*get)(getter_AddRefs(object));
  out->object = object.get();
  return true;
}

template <class I, class O>
bool ReadItem(nsISupports* from, PRInt32 index, Value* out, nsresult* rv) {
  nsCOMPtr<I> face = As<I>(from);
  if (!face) return false;
  nsCOMPtr<O> object;
  *rv = face->Item(index, getter_AddRefs(object));
  out->object = object.get();
  return true;
}

}  // namespace

// One step of a path on whichever of our interfaces the object answers.
nsresult Step(nsISupports* from, const std::wstring& name, PRInt32 index, Value* out) {
  nsresult rv = NS_ERROR_NO_INTERFACE;
  bool done = false;
  if (name == L"OperationData") {
    done = ReadObject<IOrvexDialixOperation, nsISupports>(from, &IOrvexDialixOperation::GetOperationData, out, &rv);
  } else if (name == L"Item") {
    done = ReadItem<IOrvexDialixDeviceList, IOrvexDialixDevice>(from, index, out, &rv) ||
           ReadItem<IOrvexDialixContactList, IOrvexDialixContact>(from, index, out, &rv) ||
           ReadItem<IOrvexDialixSmsList, IOrvexDialixSms>(from, index, out, &rv) ||
           ReadItem<IOrvexDialixEventList, IOrvexDialixEvent>(from, index, out, &rv) ||
           ReadItem<IOrvexDialixAddressList, IOrvexDialixAddress>(from, index, out, &rv);
  } else if (name == L"Count") {
    done = ReadNumber<IOrvexDialixDeviceList, PRInt32>(from, &IOrvexDialixDeviceList::GetCount, out, &rv) ||
           ReadNumber<IOrvexDialixContactList, PRInt32>(from, &IOrvexDialixContactList::GetCount, out, &rv) ||
           ReadNumber<IOrvexDialixSmsList, PRInt32>(from, &IOrvexDialixSmsList::GetCount, out, &rv) ||
           ReadNumber<IOrvexDialixEventList, PRInt32>(from, &IOrvexDialixEventList::GetCount, out, &rv) ||
           ReadNumber<IOrvexDialixAddressList, PRInt32>(from, &IOrvexDialixAddressList::GetCount, out, &rv);
  } else if (name == L"SerialNumber") {
    done = ReadText<IOrvexDialixDevice>(from, &IOrvexDialixDevice::GetSerialNumber, out, &rv);
  } else if (name == L"ModelName") {
    done = ReadText<IOrvexDialixDevice>(from, &IOrvexDialixDevice::GetModelName, out, &rv);
  } else if (name == L"FriendlyName") {
    done = ReadText<IOrvexDialixDevice>(from, &IOrvexDialixDevice::GetFriendlyName, out, &rv);
  } else if (name == L"State") {
    done = ReadNumber<IOrvexDialixDevice, PRInt32>(from, &IOrvexDialixDevice::GetState, out, &rv);
  } else if (name == L"VCard") {
    done = ReadText<IOrvexDialixContact>(from, &IOrvexDialixContact::GetVCard, out, &rv);
  } else if (name == L"FormattedName") {
    done = ReadText<IOrvexDialixContact>(from, &IOrvexDialixContact::GetFormattedName, out, &rv);
  } else if (name == L"Message") {
    done = ReadText<IOrvexDialixSms>(from, &IOrvexDialixSms::GetMessage, out, &rv);
  } else if (name == L"Folder") {
    done = ReadNumber<IOrvexDialixSms, PRInt32>(from, &IOrvexDialixSms::GetFolder, out, &rv);
  } else if (name == L"Addresses") {
    done = ReadObject<IOrvexDialixSms, IOrvexDialixAddressList>(from, &IOrvexDialixSms::GetAddresses, out, &rv);
  } else if (name == L"Address") {
    done = ReadText<IOrvexDialixAddress>(from, &IOrvexDialixAddress::GetAddress, out, &rv);
  } else if (name == L"Number") {
    done = ReadText<IOrvexDialixEvent>(from, &IOrvexDialixEvent::GetNumber, out, &rv);
  } else if (name == L"Duration") {
    done = ReadNumber<IOrvexDialixEvent, PRInt32>(from, &IOrvexDialixEvent::GetDuration, out, &rv);
  }
  return done ? rv : NS_ERROR_NO_INTERFACE;
}

}  // namespace XpHost
