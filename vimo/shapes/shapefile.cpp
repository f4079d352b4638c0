// Shape files: the header with its class signature, the EShape record that carries the
// hierarchy, the creation of loaded daughters, and the registry of the classes that can be
// loaded as daughters.
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "vimo/core/vectorfile.h"
#include "vimo/shapes/shape.h"
#include "vimo/shapes/shaperecord.h"

using Quarnel::Vexlor::Exception;

namespace {

const unsigned kEmptySlot = INS_SHAPE_TYPE_EMPTY_SLOT;
// Nesting deeper than this is refused on saving and loading, so that a hostile or corrupted
// file cannot exhaust the stack.
const unsigned kMaxDepth = 256;
// A name is read in pieces of this size, so that its allocation grows only with the bytes the
// file really holds.
const unsigned kNameChunk = 65536;
// Flag bits that describe the daughter table rather than a property: they follow the table the
// shape really has. The Allocated bit belongs to whoever owns the object, never to a file.
const unsigned kTableBits = INS_SHAPE_BEHAVIOR_INDEXED | INS_SHAPE_BEHAVIOR_2D_ARRAY;
const unsigned kOwnerBit = INS_SHAPE_BEHAVIOR_ALLOCATED;

// One factory per type bit; filled by the static registrations of each family before main.
EShapeFactory s_Factories[32];

unsigned s_un32Depth = 0;

// Counts one level of daughters for as long as it lives.
struct DepthGuard {
  DepthGuard() {
    if (s_un32Depth >= kMaxDepth) throw Exception(E_ERROR_INVALID_PARAMETER);
    ++s_un32Depth;
  }
  ~DepthGuard() { --s_un32Depth; }
  DepthGuard(const DepthGuard&) = delete;
  DepthGuard& operator=(const DepthGuard&) = delete;
};

int BitNumber(unsigned type) {
  if (type == 0 || (type & (type - 1)) != 0) return -1;
  int bit = 0;
  while ((type >> bit) != 1u) ++bit;
  return bit;
}

// Files of versions 1 and 2 store a type as its bit number.
unsigned StoredType(unsigned stored, unsigned version) {
  if (version >= 3) return stored;
  return stored < 32 ? 1u << stored : 0u;
}

unsigned ReadType(ESerializer* serializer, unsigned version) {
  uint32_t stored = 0;
  serializer->Transfer(&stored, 4, "eType");
  return StoredType(stored, version);
}

// The code raised when a file holds another class, by the class code of its signature.
E_ERRORS MismatchCode(unsigned classCode) {
  switch (classCode) {
    case 0x11: return E_ERROR_FILE_IS_CIRCLE_SHAPE;
    case 0x12: return E_ERROR_FILE_IS_FRAME_SHAPE;
    case 0x13: return E_ERROR_FILE_IS_RECTANGLE_SHAPE;
    case 0x14: return E_ERROR_FILE_IS_POINT_SHAPE;
    case 0x15: return E_ERROR_FILE_IS_LINE_SHAPE;
    case 0x16: return E_ERROR_FILE_IS_WORLD_SHAPE;
    case 0x17: return E_ERROR_FILE_IS_WEDGE_SHAPE;
    case 0x18: return E_ERROR_FILE_IS_BGA_BALL;
    case 0x19: return E_ERROR_FILE_IS_BGA_ARRAY;
    case 0x20: return E_ERROR_FILE_IS_BGA_COMPONENT;
    case 0x21: return E_ERROR_FILE_IS_CIRCLE_GAUGE;
    case 0x23: return E_ERROR_FILE_IS_RECTANGLE_GAUGE;
    case 0x24: return E_ERROR_FILE_IS_POINT_GAUGE;
    case 0x25: return E_ERROR_FILE_IS_LINE_GAUGE;
    case 0x27: return E_ERROR_FILE_IS_WEDGE_GAUGE;
    case 0x28: return E_ERROR_FILE_IS_BGA_FILE;
    default: return E_ERROR_UNKNOWN_FILE_CLASS;
  }
}

// Puts a caught code into the error state, keeping the trace when the code is already there.
void Report(E_ERRORS code) {
  if (EGetError() != code) ESetError(code);
}

// Runs a serializer-form operation for a path form: whatever it throws ends in the error state.
template <class Operation>
void Guarded(Operation operation) {
  try {
    operation();
  } catch (const Exception& e) {
    Report(e.GetCode());
  } catch (const std::bad_alloc&) {
    Report(E_ERROR_ALLOCATION_FAILED);
  } catch (...) {
    Report(E_ERROR_INVALID_PARAMETER);
  }
}

// A new shape of a registered class, ready to be linked as a loaded daughter.
EShape* CreateLoadedShape(unsigned type) {
  EShapeFactory factory = EFindShapeFactory(type);
  if (factory == nullptr) throw Exception(E_ERROR_INVALID_PARAMETER);
  EShape* shape = factory();
  if (shape == nullptr) throw Exception(E_ERROR_ALLOCATION_FAILED);
  return shape;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Registry

EShapeClassRegistration::EShapeClassRegistration(INS_SHAPE_TYPES type, EShapeFactory factory) {
  int bit = BitNumber(type);
  if (bit >= 0) s_Factories[bit] = factory;
}

EShapeFactory EFindShapeFactory(unsigned type) {
  int bit = BitNumber(type);
  return bit >= 0 ? s_Factories[bit] : nullptr;
}

namespace vimo_detail {

bool RecordTransfer(FILE* stream, int mode, void* bytes, unsigned size) {
  if (mode != 0) {
    if (stream != nullptr && std::fwrite(bytes, 1, size, stream) == size) return true;
    ESetError(E_ERROR_WRITE_FAILED);
    return false;
  }
  uint8_t buffer[16];
  if (stream != nullptr && size <= sizeof buffer && std::fread(buffer, 1, size, stream) == size) {
    std::memcpy(bytes, buffer, size);
    return true;
  }
  ESetError(E_ERROR_READ_FAILED);
  return false;
}

bool RecordVersion(FILE* stream, int mode, uint8_t current, uint8_t& stored, const char* trace) {
  stored = current;
  if (!RecordTransfer(stream, mode, &stored, 1)) {
    ETraceError(trace);
    return false;
  }
  if (mode == 0 && stored > current) {
    ESetError(E_ERROR_VERSION_TOO_NEW);
    ETraceError(trace);
    return false;
  }
  return true;
}

bool RecordStep(const char* trace) {
  if (EGetError() == E_OK) return true;
  ETraceError(trace);
  return false;
}

}  // namespace vimo_detail

// ---------------------------------------------------------------------------------------------
// Save and Load

void EShape::Save(ESerializer* serializer, int daughters) {
  if (serializer == nullptr || !serializer->IsWriting()) throw Exception(E_ERROR_INVALID_PARAMETER);
  uint32_t signature = GetSignature();
  serializer->Transfer(&signature, 4, "un32Signature");
  uint32_t type = GetType();
  serializer->Transfer(&type, 4, "eType");
  Serialize(serializer, (signature >> 16) & 0xFFu, daughters);
}

void EShape::Load(ESerializer* serializer, int daughters) {
  if (serializer == nullptr || !serializer->IsReading()) throw Exception(E_ERROR_INVALID_PARAMETER);
  uint32_t stored = 0;
  serializer->Transfer(&stored, 4, "un32FileSignature");
  const unsigned b0 = stored & 0xFFu, b1 = (stored >> 8) & 0xFFu, b2 = (stored >> 16) & 0xFFu,
                 b3 = stored >> 24;
  if (b0 != 0x45u || b3 != (b0 ^ b1 ^ b2)) throw Exception(E_ERROR_BAD_SIGNATURE);
  const uint32_t own = GetSignature();
  if (b1 != ((own >> 8) & 0xFFu)) throw Exception(MismatchCode(b1));
  if (b2 > ((own >> 16) & 0xFFu)) throw Exception(E_ERROR_FILE_CLASS_VERSION_TOO_NEW);
  if (ReadType(serializer, b2) != static_cast<unsigned>(GetType()))
    throw Exception(E_ERROR_INVALID_PARAMETER);
  Serialize(serializer, b2, daughters);
}

void EShape::TransferFile(FILE* file, int writing, int daughters, const char* trace) {
  if (file == nullptr) {
    ESetError(E_ERROR_CANNOT_OPEN_FILE);
    return ETraceError(trace);
  }
  {
    EFilePointerSerializer serializer(file, writing);
    Guarded([&] {
      if (writing)
        Save(&serializer, daughters);
      else
        Load(&serializer, daughters);
    });
  }
  if (EGetError() != E_OK) {
    std::fclose(file);
    return ETraceError(trace);
  }
  if (std::fclose(file) != 0) {
    ESetError(E_ERROR_CLOSE_FAILED);
    ETraceError(trace);
  }
}

void EShape::Save(const char* path, int daughters) {
  EOk();
  TransferFile(path != nullptr ? std::fopen(path, "wb") : nullptr, 1, daughters, "EShape::Save");
}

void EShape::Save(const unsigned short* path, int daughters) {
  EOk();
  std::string name = vimo_detail::Utf8Path(path);
  TransferFile(path != nullptr ? std::fopen(name.c_str(), "wb") : nullptr, 1, daughters,
               "EShape::Save ( Unicode)");
}

void EShape::Load(const char* path, int daughters) {
  EOk();
  TransferFile(path != nullptr ? std::fopen(path, "rb") : nullptr, 0, daughters, "EShape::Load");
}

void EShape::Load(const unsigned short* path, int daughters) {
  EOk();
  std::string name = vimo_detail::Utf8Path(path);
  TransferFile(path != nullptr ? std::fopen(name.c_str(), "rb") : nullptr, 0, daughters,
               "EShape::Load ( Unicode)");
}

// ---------------------------------------------------------------------------------------------
// The two layers of Serialize

void EShape::Serialize(FILE* stream, int mode, unsigned version, int daughters) {
  EFilePointerSerializer serializer(stream, mode);
  try {
    EShape::Serialize(&serializer, version, daughters);
  } catch (const Exception& e) {
    Report(e.GetCode());
    ETraceError("EShape::Serialize");
  }
}

void EShape::Serialize(ESerializer* serializer, unsigned version, int daughters) {
  if (serializer == nullptr) throw Exception(E_ERROR_INVALID_PARAMETER);
  if (serializer->IsWriting())
    WriteShapeRecord(serializer, version, daughters);
  else
    ReadShapeRecord(serializer, version, daughters);
}

void EShape::SerializeThroughStream(ESerializer* serializer, unsigned version, int daughters) {
  EFilePointerSerializer* file = dynamic_cast<EFilePointerSerializer*>(serializer);
  if (file == nullptr) throw Exception(E_ERROR_NOT_FILE_SERIALIZER);
  EOk();
  Serialize(file->GetStream(), file->IsWriting(), version, daughters);
  if (EGetError() != E_OK) throw Exception(EGetError());
}

// ---------------------------------------------------------------------------------------------
// The EShape record

void EShape::WriteShapeRecord(ESerializer* serializer, unsigned version, int daughters) {
  uint8_t recordVersion = 1;
  serializer->Transfer(&recordVersion, 1, "un8ShapeVersion");
  int32_t mode = m_eDraggingMode;
  serializer->Transfer(&mode, 4, "m_eDraggingMode");
  // A 16-bit name goes to the file as UTF-8, which keeps an ASCII name byte for byte and loses
  // no character of any other.
  std::string name;
  if (m_pszName != nullptr)
    name = m_bUnicodeName ? vimo_detail::Utf8Path(GetNameUnicode()) : std::string(GetName());
  uint32_t length = static_cast<uint32_t>(name.size());
  serializer->Transfer(&length, 4, "strLen");
  if (length > 0) serializer->Transfer(&name[0], length, "m_pszName");
  uint32_t behavior = m_un32Behavior;
  serializer->Transfer(&behavior, 4, "m_un32Behavior");
  uint32_t slots = daughters ? GetSlotCount() : 0;
  serializer->Transfer(&slots, 4, "un32MaxIndex");
  if (slots == 0) return;
  DepthGuard depth;
  for (unsigned i = 0; i < slots; ++i) {
    EShape* daughter = m_ppDaughter[i];
    uint32_t type = daughter != nullptr ? static_cast<uint32_t>(daughter->GetType()) : kEmptySlot;
    serializer->Transfer(&type, 4, "eType");
    if (daughter != nullptr) daughter->Serialize(serializer, version, 1);
  }
}

void EShape::ReadShapeRecord(ESerializer* serializer, unsigned version, int daughters) {
  uint8_t recordVersion = 0;
  serializer->Transfer(&recordVersion, 1, "un8ShapeVersion");
  if (recordVersion > 1) throw Exception(E_ERROR_VERSION_TOO_NEW);
  int32_t mode = 0;
  serializer->Transfer(&mode, 4, "m_eDraggingMode");
  if (mode != INS_DRAG_ABOUT_CENTER && mode != INS_DRAG_FROM_FIXED_POINT)
    throw Exception(E_ERROR_INVALID_PARAMETER);
  m_eDraggingMode = static_cast<INS_DRAGGING_MODES>(mode);

  uint32_t length = 0;
  serializer->Transfer(&length, 4, "strLen");
  std::vector<char> name;
  while (name.size() < length) {
    size_t done = name.size();
    size_t piece = length - done < kNameChunk ? length - done : kNameChunk;
    name.resize(done + piece);
    serializer->Transfer(&name[done], static_cast<unsigned>(piece), "m_pszName");
  }
  name.push_back('\0');
  ReleaseName();
  if (length > 0) SetName(name.data());

  uint32_t behavior = 0;
  serializer->Transfer(&behavior, 4, "m_un32Behavior");
  // A shape that already has a table keeps the table's bits; without one it takes the stored
  // ones, which a loaded indexed table then fills in.
  unsigned table =
      m_ppDaughter != nullptr ? (m_un32Behavior & kTableBits) : (behavior & kTableBits);
  m_un32Behavior = (behavior & ~(kTableBits | kOwnerBit)) | (m_un32Behavior & kOwnerBit) | table;

  uint32_t slots = 0;
  serializer->Transfer(&slots, 4, "un32MaxIndex");
  if (slots == 0) return;
  if (!daughters) return SkipDaughters(serializer, version, slots);
  const bool indexed = (behavior & INS_SHAPE_BEHAVIOR_INDEXED) != 0;
  if (indexed) {
    if (m_ppDaughter != nullptr) {
      ESetError(E_ERROR_ALREADY_HAS_DAUGHTER_TABLE);
      ETraceError("EShape::SetIndexed");
      throw Exception(E_ERROR_ALREADY_HAS_DAUGHTER_TABLE);
    }
    // The table grows with the entries read, so a slot count larger than the file is refused
    // by the failing read rather than by a huge allocation.
    AllocateIndexedTable(0, (behavior & INS_SHAPE_BEHAVIOR_2D_ARRAY) != 0);
  }
  ReadDaughters(serializer, version, slots, indexed);
}

bool EShape::GrowIndexedTable(unsigned slots) {
  if (slots <= m_un32MaxDaughters) return true;
  void* table = std::realloc(m_ppDaughter, sizeof(EShape*) * size_t(slots));
  if (table == nullptr) return false;
  m_ppDaughter = static_cast<EShape**>(table);
  for (unsigned i = m_un32MaxDaughters; i < slots; ++i) m_ppDaughter[i] = nullptr;
  m_un32MaxDaughters = slots;
  return true;
}

void EShape::ReadDaughters(ESerializer* serializer, unsigned version, unsigned slots,
                           bool indexed) {
  DepthGuard depth;
  for (unsigned i = 0; i < slots; ++i) {
    const unsigned type = ReadType(serializer, version);
    if (indexed && i >= m_un32MaxDaughters) {
      unsigned grown = m_un32MaxDaughters < slots / 2 ? 2 * m_un32MaxDaughters : slots;
      if (!GrowIndexedTable(grown > i ? grown : i + 1)) throw Exception(E_ERROR_ALLOCATION_FAILED);
    }
    if (type == kEmptySlot) continue;
    EShape* daughter = CreateLoadedShape(type);
    // Owned by this shape from the start, so that a record that fails below leaves it in the
    // tree and deleted with its mother.
    daughter->m_un32Behavior |= kOwnerBit;
    bool joined;
    if (indexed) {
      daughter->LeaveMother();
      joined = daughter->JoinMother(this, i);
    } else {
      daughter->Attach(this);
      joined = daughter->m_pMother == this;
    }
    if (!joined) {
      E_ERRORS code = EGetError() != E_OK ? EGetError() : E_ERROR_ALLOCATION_FAILED;
      delete daughter;
      throw Exception(code);
    }
    daughter->Serialize(serializer, version, 1);
  }
}

void EShape::SkipDaughters(ESerializer* serializer, unsigned version, unsigned slots) {
  // The entries are read into scratch shapes and dropped, so that the fields stored after the
  // daughters are read from their own place.
  DepthGuard depth;
  for (unsigned i = 0; i < slots; ++i) {
    const unsigned type = ReadType(serializer, version);
    if (type == kEmptySlot) continue;
    std::unique_ptr<EShape> scratch(CreateLoadedShape(type));
    scratch->Serialize(serializer, version, 1);
  }
}
