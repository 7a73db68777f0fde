#include "ErrorReporting.h"

#include <new>
#include <string_view>

#include "VantelUS_h.h"

namespace vantel::automation {
namespace {

// Descriptions are UTF-8 in the core and UTF-16 on the wire. Returns null
// when out of memory, which leaves the description empty but still reports.
BSTR ToBstr(std::string_view utf8) noexcept {
  if (utf8.empty()) return SysAllocStringLen(nullptr, 0);
  const int size = static_cast<int>(utf8.size());
  const int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  if (units <= 0) return nullptr;
  BSTR text = SysAllocStringLen(nullptr, static_cast<UINT>(units));
  if (text != nullptr) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, text, units);
  return text;
}

HRESULT Report(HRESULT result, std::string_view description) noexcept {
  ICreateErrorInfo* create = nullptr;
  if (FAILED(CreateErrorInfo(&create))) return result;
  create->SetGUID(IID__CompareUS);
  create->SetSource(const_cast<LPOLESTR>(kErrorSource));
  if (BSTR text = ToBstr(description)) {
    create->SetDescription(text);
    SysFreeString(text);
  }
  IErrorInfo* info = nullptr;
  if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
    SetErrorInfo(0, info);
    info->Release();
  }
  create->Release();
  return result;
}

}  // namespace

HRESULT ResultOfRuntimeError(std::int32_t number) noexcept {
  if (number > 0 && number <= 0xFFFF) return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, number);
  if (number < 0) return static_cast<HRESULT>(number);
  return E_FAIL;
}

HRESULT ReportRuntimeError(const RuntimeError& error) noexcept {
  return Report(ResultOfRuntimeError(error.number()), error.description());
}

HRESULT ReportCurrentException() noexcept {
  try {
    throw;
  } catch (const RuntimeError& error) {
    return ReportRuntimeError(error);
  } catch (const std::bad_alloc&) {
    return Report(E_OUTOFMEMORY, "Out of memory");
  } catch (const std::exception& error) {
    return Report(E_UNEXPECTED, error.what());
  } catch (...) {
    return Report(E_UNEXPECTED, "Unexpected error");
  }
}

HRESULT ToDispatchException(HRESULT failure, EXCEPINFO* exception) noexcept {
  IErrorInfo* info = nullptr;
  if (GetErrorInfo(0, &info) != S_OK) info = nullptr;
  if (exception != nullptr) {
    *exception = EXCEPINFO{};
    exception->scode = failure;
    if (info != nullptr) {
      info->GetSource(&exception->bstrSource);
      info->GetDescription(&exception->bstrDescription);
      info->GetHelpFile(&exception->bstrHelpFile);
      info->GetHelpContext(&exception->dwHelpContext);
    }
  }
  if (info != nullptr) {
    // A caller that passed no EXCEPINFO can still ask the thread for it.
    if (exception == nullptr) SetErrorInfo(0, info);
    info->Release();
  }
  return DISP_E_EXCEPTION;
}

}  // namespace vantel::automation
