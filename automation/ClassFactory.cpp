#include "ClassFactory.h"

#include "CompareUSObject.h"
#include "Module.h"
#include "VantelUS_h.h"

namespace vantel::automation {
namespace {

// One class object for the life of the library. Its own references do not
// keep the library loaded; LockServer does, as the platform expects.
class ClassFactory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID interfaceId, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (interfaceId != IID_IUnknown && interfaceId != IID_IClassFactory) return E_NOINTERFACE;
    *object = static_cast<IClassFactory*>(this);
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID interfaceId, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    return CompareUSObject::Create(interfaceId, object);
  }

  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    automation::LockServer(lock != FALSE);
    return S_OK;
  }
};

ClassFactory compareUSFactory;

}  // namespace

HRESULT GetClassObject(REFCLSID classId, REFIID interfaceId, void** object) noexcept {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (classId != CLSID_CompareUS) return CLASS_E_CLASSNOTAVAILABLE;
  return compareUSFactory.QueryInterface(interfaceId, object);
}

}  // namespace vantel::automation
