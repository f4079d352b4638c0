// Fuzz target: reads arbitrary bytes as one of the geometry records (point, frame, line,
// circle, rectangle, wedge) or a transition record, through a file stream on memory and
// through the memory serializer. The first byte picks the record, the second the container's
// format version. A record that reads must write and read back to the same bytes; a transition
// that reads then measures along a synthetic image. Any crash, leak or sanitizer report is a
// finding.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "fuzz_support.h"

namespace {

// Opens the record and its measurement to the fuzzer.
class OpenTransition : public ETransition {
 public:
  using ETransition::Measure;
  using ETransition::Serialize;
};

class Record {
 public:
  virtual ~Record() = default;
  virtual void Stream(FILE* stream, int mode, unsigned version) = 0;
  virtual void Serializer(ESerializer* serializer, unsigned version) = 0;
  virtual void Use() {}
};

template <class G>
class GeometryRecord : public Record {
 public:
  void Stream(FILE* stream, int mode, unsigned version) override {
    m_Value.Serialize(stream, mode, version);
  }
  void Serializer(ESerializer* serializer, unsigned version) override {
    m_Value.Serialize(serializer, version);
  }

 private:
  G m_Value;
};

class TransitionRecord : public Record {
 public:
  void Stream(FILE* stream, int mode, unsigned version) override {
    m_Value.Serialize(stream, mode, version);
  }
  void Serializer(ESerializer*, unsigned) override {}
  // Measures across a synthetic image with a bright bar and a ramp, along a row, a column and
  // a diagonal, and reads every peak back.
  void Use() override {
    static EImage<EBW8> image = [] {
      EImage<EBW8> made(48, 40);
      for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 48; ++x)
          made.SetPixel(static_cast<EBW8>(x >= 16 && x < 24 ? 250 : (x * 5 + y) & 255), x, y);
      return made;
    }();
    const int ends[][4] = {{2, 20, 45, 20}, {30, 2, 30, 37}, {3, 3, 44, 36}, {-10, 5, 60, 30}};
    for (const auto& e : ends) {
      m_Value.Measure(&image, e[0], e[1], e[2], e[3]);
      for (unsigned i = 0; i <= m_Value.GetNumPeaks(); ++i) m_Value.GetMeasuredPeak(i);
      m_Value.GetMeasuredPoint();
      EOk();
    }
  }

 private:
  OpenTransition m_Value;
};

std::unique_ptr<Record> MakeRecord(uint8_t kind) {
  switch (kind % 7) {
    case 0: return std::make_unique<GeometryRecord<EPoint>>();
    case 1: return std::make_unique<GeometryRecord<EFrame>>();
    case 2: return std::make_unique<GeometryRecord<ELine>>();
    case 3: return std::make_unique<GeometryRecord<ECircle>>();
    case 4: return std::make_unique<GeometryRecord<ERectangle>>();
    case 5: return std::make_unique<GeometryRecord<EWedge>>();
    default: return std::make_unique<TransitionRecord>();
  }
}

std::vector<uint8_t> Write(Record& record, unsigned version) {
  char* bytes = nullptr;
  size_t length = 0;
  FILE* output = open_memstream(&bytes, &length);
  if (output == nullptr) std::abort();
  record.Stream(output, 1, version);
  std::fclose(output);
  std::vector<uint8_t> written(bytes, bytes + length);
  std::free(bytes);
  return written;
}

bool Read(Record& record, const uint8_t* data, size_t size, unsigned version) {
  if (size == 0) return false;
  FILE* input = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (input == nullptr) return false;
  EOk();
  record.Stream(input, 0, version);
  std::fclose(input);
  const bool ok = EGetError() == E_OK;
  EOk();
  return ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  EOk();
  const uint8_t kind = data[0];
  const unsigned version = data[1];
  data += 2;
  size -= 2;

  // The memory serializer: the point and frame records read from it, the others refuse it.
  {
    std::unique_ptr<Record> record = MakeRecord(kind);
    EMemSerializer reader(data, size);
    try {
      record->Serializer(&reader, version);
    } catch (const Quarnel::Vexlor::Exception&) {
    }
    EOk();
    EMemSerializer writer;
    try {
      record->Serializer(&writer, version);
    } catch (const Quarnel::Vexlor::Exception&) {
    }
    EOk();
  }

  std::unique_ptr<Record> record = MakeRecord(kind);
  if (!Read(*record, data, size, version)) return 0;
  const std::vector<uint8_t> first = Write(*record, version);
  std::unique_ptr<Record> again = MakeRecord(kind);
  if (!Read(*again, first.data(), first.size(), version)) std::abort();
  if (Write(*again, version) != first) std::abort();
  record->Use();
  EOk();
  return 0;
}
