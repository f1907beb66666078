#pragma once

// Intrusive reference counting for renderers. A new object starts with a
// count of 1, owned by its creator; MakeRefPtr hands that first reference to
// a CStdRefPtr without an extra AddRef. Single-threaded: the count is a plain int.

class IObjRef {
public:
    virtual int AddRef() = 0;
    virtual int Release() = 0;
    virtual void OnFinalRelease() = 0;
};

template <class T>
class TObjRefImpl : public T {
public:
    TObjRefImpl() = default;
    TObjRefImpl(const TObjRefImpl&) = delete;
    TObjRefImpl& operator=(const TObjRefImpl&) = delete;

    int AddRef() override { return ++m_iRefCount; }

    int Release() override {
        int count = --m_iRefCount;
        if (count == 0)
            OnFinalRelease();
        return count;
    }

    void OnFinalRelease() override { delete this; }

    virtual ~TObjRefImpl() = default;

    int GetRefCount() const { return m_iRefCount; }

protected:
    int m_iRefCount = 1;
};

template <class T>
class MakeRefPtr {
public:
    explicit MakeRefPtr(T* p) : m_p(p) {}
    T* get() const { return m_p; }

private:
    T* m_p;
};

template <class T>
class CStdRefPtr {
public:
    CStdRefPtr() = default;
    ~CStdRefPtr() {
        if (m_p)
            m_p->Release();
    }
    CStdRefPtr(const CStdRefPtr&) = delete;
    CStdRefPtr& operator=(const CStdRefPtr&) = delete;

    // Adopts the creation reference that the wrapper carries.
    T* operator=(const MakeRefPtr<T>& fresh) {
        if (m_p != fresh.get()) {
            if (m_p)
                m_p->Release();
            m_p = fresh.get();
        }
        return m_p;
    }

    T* operator->() const { return m_p; }
    operator T*() const { return m_p; }
    bool operator==(T* p) const { return m_p == p; }
    bool operator!=(T* p) const { return m_p != p; }

private:
    T* m_p = nullptr;
};
