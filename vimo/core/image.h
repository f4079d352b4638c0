// Images and regions of interest: a region is a rectangular window on a root image, possibly
// nested in other regions. An image owns its pixels and is its own root.
#ifndef VIMO_CORE_IMAGE_H
#define VIMO_CORE_IMAGE_H

#include <cstdint>
#include <vector>

#include "vimo/core/errors.h"
#include "vimo/core/pixels.h"
#include "vimo/core/vector.h"
#include "vimo/core/vimo_export.h"

// One run of a mask: the addresses of pixel (x0, y) and pixel (x1, y) of a row (the run covers
// x0 to x1 - 1), and x0 and y.
struct ERun {
  void* start;
  void* end;
  int16_t x, y;
};
typedef EVectorTemplate<ERun> ERunVector;

class VIMO_EXPORT EGenericROI {
 public:
  virtual ~EGenericROI();

  // The clipped placement, the root and the base address are kept up to date by every change
  // of the region tree (placement, parent, image size or pixels), so these are plain reads.
  int GetWidth() const { return m_ClippedWidth; }
  int GetHeight() const { return m_ClippedHeight; }
  int GetOrgX() const;  // relative to the parent
  int GetOrgY() const;
  int GetTotalOrgX() const { return m_ClippedX; }  // relative to the root image
  int GetTotalOrgY() const { return m_ClippedY; }
  int GetTotalWidth() const;  // size of the root image
  int GetTotalHeight() const;
  int GetRowPitch() const { return m_RowPitch; }     // bytes between rows of the root image
  int IsVoid() const { return m_pBase == nullptr; }  // no pixels to work on
  int GetPixelSize() const { return m_PixelSize; }

  EGenericROI* GetParent() const { return m_pParent; }
  const EGenericROI* GetRoot() const { return m_pRoot; }
  // Address of pixel (0, 0) of this region, nullptr when void.
  uint8_t* GetBasePtr() const { return m_pBase; }
  // Pixel (0, 0) of the root image with its size and row pitch; nullptr and zero sizes when
  // there is no root image or it has no pixels.
  const uint8_t* GetRootPixels(int& width, int& height, int& pitch) const;

  ERunVector& GetRuns() { return m_Runs; }

 protected:
  explicit EGenericROI(int pixelSize) : m_PixelSize(pixelSize) {}
  EGenericROI(const EGenericROI&) = delete;
  EGenericROI& operator=(const EGenericROI&) = delete;

  // Links this region under parent (same pixel type checked by the typed callers).
  void LinkTo(EGenericROI* parent);
  void Unlink();
  void SetRequestedPlacement(int orgX, int orgY, int width, int height);
  bool IsAncestorOrSelf(const EGenericROI* other) const;
  void DetachChildren();
  // Makes this region the root image of its tree.
  void MarkAsImage();
  // Takes pixels (swapped in) as the root storage of this image.
  void AdoptPixels(std::vector<uint8_t>& pixels, int width, int height, int pitch);
  // Recomputes the cached placement of this region and of every region inside it.
  void RefreshTree();

  // Root storage, used only by images; a change of it is followed by RefreshTree.
  std::vector<uint8_t> m_Pixels;
  int m_ImageWidth = 0;
  int m_ImageHeight = 0;
  int m_Pitch = 0;
  bool m_IsImage = false;

 private:
  // Recomputes the cache of this region alone from its parent's (already current) cache.
  void RefreshPlacement();

  int m_PixelSize;
  EGenericROI* m_pParent = nullptr;
  std::vector<EGenericROI*> m_Children;
  int m_OrgX = 0, m_OrgY = 0, m_Width = 0, m_Height = 0;  // requested, relative to the parent
  ERunVector m_Runs;

  // Cache of what the tree makes of the request: the root image (nullptr when the top of the
  // tree is not an image), the placement clipped to every ancestor, relative to the root, the
  // root's row pitch and the address of pixel (0, 0) (nullptr when void).
  const EGenericROI* m_pRoot = nullptr;
  int m_ClippedX = 0, m_ClippedY = 0, m_ClippedWidth = 0, m_ClippedHeight = 0;
  int m_RowPitch = 0;
  uint8_t* m_pBase = nullptr;
};

template <class T>
class EROI : public EGenericROI {
 public:
  EROI() : EGenericROI(static_cast<int>(sizeof(T))) {}
  // A copy is a window on the same parent with the same placement.
  EROI(const EROI& other) : EGenericROI(static_cast<int>(sizeof(T))) { CopyPlacement(other); }
  EROI& operator=(const EROI& other) {
    if (this != &other && !m_IsImage) CopyPlacement(other);
    return *this;
  }

  // Becomes a window on parent (an image or a region). Attaching an image, or attaching to
  // this region or one of its descendants, sets 32767 and changes nothing.
  void Attach(EROI<T>* parent) {
    if (parent == nullptr || m_IsImage || IsAncestorOrSelf(parent)) {
      ESetError(E_ERROR_INVALID_PARAMETER);
      ETraceError("EROI::Attach");
      return;
    }
    LinkTo(parent);
  }
  void Detach() {
    if (!m_IsImage) Unlink();
  }
  // Placement relative to the parent, clipped to it when pixels are addressed.
  void SetPlacement(int orgX, int orgY, int width, int height) {
    if (m_IsImage) return;
    SetRequestedPlacement(orgX, orgY, width, height);
  }

  // Address of pixel (x, y) of this region (not bounds-checked; nullptr when void).
  // Use it for row-by-row loops: GetImagePtr(0, y)[x] for x below GetWidth().
  T* GetImagePtr(int x = 0, int y = 0) {
    uint8_t* base = GetBasePtr();
    if (base == nullptr) return nullptr;
    return reinterpret_cast<T*>(base + static_cast<intptr_t>(y) * GetRowPitch() +
                                static_cast<intptr_t>(x) * static_cast<intptr_t>(sizeof(T)));
  }
  const T* GetImagePtr(int x = 0, int y = 0) const {
    return const_cast<EROI*>(this)->GetImagePtr(x, y);
  }
  // Bounds-checked pixel access: outside the region reads T() and writes nothing (1011). A
  // region with a width and a height has pixels, so the address is never null here.
  T GetPixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= GetWidth() || y >= GetHeight()) {
      ESetError(E_ERROR_INDEX_OUT_OF_RANGE);
      ETraceError("EROI::GetPixel");
      return T();
    }
    return *GetImagePtr(x, y);
  }
  void SetPixel(T value, int x, int y) {
    if (x < 0 || y < 0 || x >= GetWidth() || y >= GetHeight()) {
      ESetError(E_ERROR_INDEX_OUT_OF_RANGE);
      ETraceError("EROI::SetPixel");
      return;
    }
    *GetImagePtr(x, y) = value;
  }

  // Colour system tag of colour regions; stored, not interpreted.
  void SetColorSystem(int colorSystem) { m_ColorSystem = colorSystem; }
  int GetColorSystem() const { return m_ColorSystem; }

 private:
  void CopyPlacement(const EROI& other) {
    if (other.GetParent() != nullptr && !IsAncestorOrSelf(other.GetParent()))
      LinkTo(other.GetParent());
    else if (other.m_IsImage && !IsAncestorOrSelf(&other))
      LinkTo(const_cast<EROI*>(&other));
    SetRequestedPlacement(other.GetOrgX(), other.GetOrgY(), other.GetWidth(), other.GetHeight());
  }
  int m_ColorSystem = 0;
};

template <class T>
class EImage : public EROI<T> {
 public:
  EImage() { this->MarkAsImage(); }
  EImage(int width, int height) {
    this->MarkAsImage();
    SetSize(width, height);
  }
  // A copy owns a copy of the pixels.
  EImage(const EImage& other) : EROI<T>() {
    this->MarkAsImage();
    CopyFrom(other);
  }
  EImage& operator=(const EImage& other) {
    if (this != &other) CopyFrom(other);
    return *this;
  }

  // Resizes; pixels are zeroed. Negative sizes set 32767, sizes that cannot be held set 1303;
  // both leave the image as it was.
  void SetSize(int width, int height) {
    if (width < 0 || height < 0) {
      ESetError(E_ERROR_INVALID_PARAMETER);
      ETraceError("EImage::SetSize");
      return;
    }
    int64_t pitch =
        (static_cast<int64_t>(width) * static_cast<int64_t>(sizeof(T)) + 3) & ~int64_t(3);
    int64_t bytes = pitch * height;
    if (pitch > INT32_MAX || bytes > (int64_t(1) << 34)) {
      ESetError(E_ERROR_ALLOCATION_FAILED);
      ETraceError("EImage::SetSize");
      return;
    }
    std::vector<uint8_t> pixels;
    try {
      pixels.assign(static_cast<size_t>(bytes), 0);
    } catch (const std::bad_alloc&) {
      ESetError(E_ERROR_ALLOCATION_FAILED);
      ETraceError("EImage::SetSize");
      return;
    }
    this->AdoptPixels(pixels, width, height, static_cast<int>(pitch));
  }
  void SetSize(const EGenericROI* model) {
    if (model == nullptr) {
      ESetError(E_ERROR_INVALID_PARAMETER);
      ETraceError("EImage::SetSize");
      return;
    }
    SetSize(model->GetWidth(), model->GetHeight());
  }

  // Image files, for EImage<EBW8>, EImage<EBW16> and EImage<EC24> (other pixel types set
  // 32767). Load recognises the format by the file's first bytes: binary PGM (P5) and PPM (P6)
  // always; PNG, JPEG and TIFF when the library was built with libpng, libjpeg and libtiff
  // (otherwise 1105). Files hold grey or RGB samples of 8 or 16 bits, and pixels get them so:
  // - a colour file in a grey image: the luma, round((299 R + 587 G + 114 B) / 1000), of the
  //   file's samples; a grey file in a colour image: the grey level in all three channels;
  // - 16-bit samples in 8-bit pixels keep their high byte (value >> 8); to map 10- or 12-bit
  //   camera data to 8 bits, load into EImage<EBW16> and use EConvertToBW8Shift or
  //   EConvertToBW8Window (vimo/core/bitdepth.h);
  // - 8-bit samples in 16-bit pixels keep their values (0..255); PGM/PPM samples of a maximum
  //   value below 255 are first scaled to 0..255;
  // - PNG and TIFF palettes expand to RGB, alpha is dropped, PNG gamma is not applied, TIFF
  //   grey with white at zero is inverted; CMYK JPEG and other TIFF kinds set 1105.
  // Errors: 1102 the file cannot be opened, 1103 it is truncated or damaged, 1105 it is not an
  // image file the library reads, 1303 its size exceeds EGetImageFilePixelLimit() or memory
  // fails. On failure the image is left as it was.
  void Load(const char* path);
  // Format from the file name's extension: .pgm, .ppm, .png, .jpg/.jpeg, .tif/.tiff. 16-bit
  // images write 16-bit PGM, PNG and TIFF; JPEG (quality 95) holds 8-bit images only; a colour
  // image written as .pgm keeps the luma. An extension the library cannot write for this
  // pixel type, or an empty image, sets 32767.
  void Save(const char* path);

 private:
  void CopyFrom(const EImage& other) {
    SetSize(other.GetWidth(), other.GetHeight());
    if (this->m_ImageWidth != other.m_ImageWidth || this->m_ImageHeight != other.m_ImageHeight)
      return;
    this->m_Pixels = other.m_Pixels;  // same size: the storage is reused
    this->RefreshTree();
  }
};

// Pixel-type specific file input and output, defined in imagefile.cpp.
template <>
VIMO_EXPORT void EImage<EBW8>::Load(const char* path);
template <>
VIMO_EXPORT void EImage<EBW8>::Save(const char* path);
template <>
VIMO_EXPORT void EImage<EBW16>::Load(const char* path);
template <>
VIMO_EXPORT void EImage<EBW16>::Save(const char* path);
template <>
VIMO_EXPORT void EImage<EC24>::Load(const char* path);
template <>
VIMO_EXPORT void EImage<EC24>::Save(const char* path);

template <class T>
void EImage<T>::Load(const char*) {
  ESetError(E_ERROR_INVALID_PARAMETER);
  ETraceError("EImage::Load");
}
template <class T>
void EImage<T>::Save(const char*) {
  ESetError(E_ERROR_INVALID_PARAMETER);
  ETraceError("EImage::Save");
}

#endif
