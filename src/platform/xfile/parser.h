// Reads a whole .x file (any encoding) into templates and a tree of data objects.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/xfile/data_object.h"
#include "platform/xfile/lexer.h"
#include "platform/xfile/result.h"
#include "platform/xfile/template_set.h"

namespace xfile {

struct FileHeader {
  bool binary = false;
  bool compressed = false;
  bool doubles = false;
};

// Checks the 16-byte header.
Result ParseHeader(const uint8_t* data, size_t size, FileHeader& out);

// Where a failed parse stopped, for messages.
struct ParseStop {
  enum class Where : uint8_t { None, Header, Compression, Body, References };
  Where where = Where::None;
  size_t offset = 0;      // Body: bytes from the start of the file, or of the expanded body
  uint32_t line = 0;      // Body of a text file: the line (1 = the header's)
  bool expanded = false;  // Body: the offset counts in the decompressed body
};

class CParser {
 public:
  // Templates the file declares go into `declared`; lookups try `declared` first, then `known`.
  CParser(const CTemplateSet* known, CTemplateSet& declared) : known_(known), declared_(declared) {}
  // Parses a complete file image (header included), then resolves references.
  Result Parse(const uint8_t* data, size_t size, std::vector<std::unique_ptr<CDataObject>>& objects);
  // After a failed Parse: where it stopped.
  const ParseStop& Stop() const { return stop_; }

 private:
  Result ParseBody(std::vector<std::unique_ptr<CDataObject>>& objects);
  Result ParseTemplate();
  Result ParseObject(const Token& typeName, int depth, std::unique_ptr<CDataObject>& out);
  Result ParseMembers(const CTemplate& t, CDataObject& obj, int depth);
  Result ParseChildren(CDataObject& obj, int depth);
  bool ReadInteger(int64_t& v);
  bool ReadReal(double& v);
  bool ReadString(std::string_view& s);
  // A run of n values of one primitive straight into the object's data.
  bool ReadFloats(CDataObject& obj, uint64_t n);
  bool ReadIntegers(CDataObject& obj, uint64_t n, uint32_t size);
  bool ReadCountedDwords(CDataObject& obj, uint64_t elements);
  std::vector<uint32_t> scratch_;
  bool NextValueToken(Token& t);
  bool Next(Token& t);
  void PushBack(const Token& t) {
    look_ = t;
    hasLook_ = true;
  }
  const CTemplate* FindTemplate(std::string_view name) const;
  size_t InputLeft() const;

  const CTemplateSet* known_;
  CTemplateSet& declared_;
  ParseStop stop_;
  CLexer* lex_ = nullptr;
  Token look_;
  bool hasLook_ = false;
  // The binary number list being consumed value by value.
  const uint8_t* list_ = nullptr;
  uint32_t listLeft_ = 0;
  bool listFloat_ = false;
};

// Resolves every reference of the tree by GUID or name; false when one names nothing.
bool ResolveReferences(std::vector<std::unique_ptr<CDataObject>>& objects);

}  // namespace xfile
