// runtime/string.h — String: immutable UTF-16 text in a shared, reference-counted body.
// Depends on: array.h (Split returns Array<String>).
//
// Every empty string points at the static body `String::nullRep`, whose count never
// reaches zero. Operations that can hand back their input unchanged share its body.
#pragma once

#include <cstdio>
#include <string>

template <class T> class Array;

class String {
public:
  struct Rep {
    int refs;
    int length;
    char16_t data[1]; // `length` characters, not terminated

    // The shared empty body keeps its count of 1: counting it would only drift and,
    // over a long run, overflow.
    void retain() {
      if (this != &nullRep) ++refs;
    }
    void release();
    static Rep* alloc(int length); // refs 1; the empty length gives nullRep (not retained)
  };
  static Rep nullRep;

  // A zero-terminated copy for C interfaces, alive while the CString is.
  template <class C> class CString;

  String() : rep(&nullRep) {}
  String(const String& s) : rep(s.rep) { rep->retain(); }
  String(String&& s) noexcept : rep(s.rep) { s.rep = &nullRep; }
  String(const char16_t* p, int n);
  String(const char16_t* p); // zero-terminated
  // 8-bit text, each byte taken as an unsigned value 0..255.
  String(const char* p);
  String(const char* p, int n);
  String(int n);
  String(float n);
  ~String() { rep->release(); }

  String& operator=(const String& s);
  String& operator=(String&& s) noexcept;

  // Decodes UTF-8 (the same reading as Load: 1..3-byte sequences in their shortest form, bytes
  // on error).
  static String FromUtf8(const char* p, int n);
  // Encodes each 16-bit unit as 1..3 UTF-8 bytes, surrogates one by one.
  std::string ToUtf8() const;

  int Length() const { return rep->length; }
  const char16_t* Data() const { return rep->data; }
  char16_t operator[](int i) const { return rep->data[i]; }
  bool SharesBodyWith(const String& s) const { return rep == s.rep; }
  int BodyRefs() const { return rep->refs; } // for diagnostics and tests

  bool operator==(const String& s) const;
  bool operator!=(const String& s) const { return !(*this == s); }
  String operator+(const String& s) const;
  String& operator+=(const String& s) { return *this = *this + s; }

  String Slice(int from) const { return Slice(from, Length()); }
  String Slice(int from, int term) const;
  int Find(const String& s, int start = 0) const;
  bool StartsWith(const String& s) const;
  bool EndsWith(const String& s) const;
  String ToUpper() const;
  String ToLower() const;
  String Replace(const String& find, const String& rep) const;
  Array<String> Split(const String& sep) const;
  String Join(const Array<String>& pieces) const;

  // Leading blanks, a sign and decimal digits of the first 63 characters; saturates
  // to the int range.
  int ToInt() const;

  // The decoded text of everything the stream holds from where it stands (byte-order marks, UTF-8,
  // a byte a character when that fails). It reads to the end, however far: a caller that opens
  // files others can replace checks what it opened and caps the size itself (or reads the bytes
  // and hands them to LoadBytes).
  static String Load(std::FILE* f);
  // The same decoding of bytes already read.
  static String LoadBytes(const void* bytes, std::size_t n);

private:
  explicit String(Rep* r) : rep(r) {}
  int CountOccurrences(const String& s) const;
  Rep* rep;
};

// Set by String::Load to "Invalid UTF-8" when it fell back to bytes.
extern String str_load_err;

template <> class String::CString<char> {
public:
  explicit CString(const String& s);
  ~CString() { delete[] buf; }
  CString(const CString&) = delete;
  CString& operator=(const CString&) = delete;
  operator const char*() const { return buf; }
  const char* c_str() const { return buf; }

private:
  char* buf;
};

// Saturating atoi: leading blanks, optional sign, digits up to the first other byte.
int zu_atoi(const char* p);

inline String operator+(const char* a, const String& b) { return String(a) + b; }

#include "array.h"
