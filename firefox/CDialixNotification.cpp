#include <windows.h>
#include "CDialixNotification.h"

// Notification members answer 0 for any success.
namespace {
nsresult Plain(nsresult rv) { return NS_SUCCEEDED(rv) ? NS_OK : rv; }
}  // namespace

NS_IMETHODIMP CDialixCallNotification::GetNumber(nsAString& number) {
  return Plain(DialixGetText(m_service.p, &ICallNotification::get_Number, number));
}

NS_IMETHODIMP CDialixCallNotification::GetState(PRInt32* state) {
  if (!state) return NS_ERROR_NULL_POINTER;
  return Plain(DialixGetNumber<ICallNotification, long>(m_service.p, &ICallNotification::get_State, state));
}

NS_IMETHODIMP CDialixMessageReceived::GetMessage(IOrvexDialixSms** sms) {
  return Plain(DialixGetWrapped<CDialixSms>(
      m_service != nullptr, [&](ISms** object) { return m_service->get_Message(object); }, sms));
}

NS_IMETHODIMP CDialixEventsUpdated::GetEvent(IOrvexDialixEvent** event) {
  return Plain(DialixGetWrapped<CDialixEvent>(
      m_service != nullptr, [&](IEvent** object) { return m_service->get_Event(object); }, event));
}
