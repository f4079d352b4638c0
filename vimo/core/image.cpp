#include "vimo/core/image.h"

#include <algorithm>

EGenericROI::~EGenericROI() {
  DetachChildren();
  Unlink();
}

void EGenericROI::DetachChildren() {
  for (EGenericROI* child : m_Children) child->m_pParent = nullptr;
  m_Children.clear();
}

void EGenericROI::LinkTo(EGenericROI* parent) {
  Unlink();
  m_pParent = parent;
  parent->m_Children.push_back(this);
}

void EGenericROI::Unlink() {
  if (m_pParent == nullptr) return;
  std::vector<EGenericROI*>& siblings = m_pParent->m_Children;
  siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  m_pParent = nullptr;
}

bool EGenericROI::IsAncestorOrSelf(const EGenericROI* other) const {
  // True when other lies in the subtree of this region (this included).
  for (const EGenericROI* r = other; r != nullptr; r = r->m_pParent)
    if (r == this) return true;
  return false;
}

void EGenericROI::SetRequestedPlacement(int orgX, int orgY, int width, int height) {
  m_OrgX = orgX;
  m_OrgY = orgY;
  m_Width = std::max(0, width);
  m_Height = std::max(0, height);
}

const EGenericROI* EGenericROI::GetRoot() const {
  const EGenericROI* r = this;
  while (r->m_pParent != nullptr) r = r->m_pParent;
  return r->m_IsImage ? r : nullptr;
}

void EGenericROI::EffectivePlacement(int64_t& x, int64_t& y, int64_t& w, int64_t& h) const {
  if (m_IsImage) {
    x = y = 0;
    w = m_ImageWidth;
    h = m_ImageHeight;
    return;
  }
  if (m_pParent == nullptr) {
    x = y = w = h = 0;
    return;
  }
  int64_t px, py, pw, ph;
  m_pParent->EffectivePlacement(px, py, pw, ph);
  // Clip the requested rectangle to the parent's clipped extent.
  int64_t x0 = std::min<int64_t>(std::max<int64_t>(m_OrgX, 0), pw);
  int64_t y0 = std::min<int64_t>(std::max<int64_t>(m_OrgY, 0), ph);
  int64_t x1 = std::min<int64_t>(std::max<int64_t>(int64_t(m_OrgX) + m_Width, 0), pw);
  int64_t y1 = std::min<int64_t>(std::max<int64_t>(int64_t(m_OrgY) + m_Height, 0), ph);
  x = px + x0;
  y = py + y0;
  w = std::max<int64_t>(0, x1 - x0);
  h = std::max<int64_t>(0, y1 - y0);
}

int EGenericROI::GetWidth() const {
  int64_t x, y, w, h;
  EffectivePlacement(x, y, w, h);
  return static_cast<int>(w);
}

int EGenericROI::GetHeight() const {
  int64_t x, y, w, h;
  EffectivePlacement(x, y, w, h);
  return static_cast<int>(h);
}

void EGenericROI::OriginInParent(int64_t& x, int64_t& y) const {
  x = y = 0;
  if (m_IsImage || m_pParent == nullptr) return;
  int64_t w, h, px, py, pw, ph;
  EffectivePlacement(x, y, w, h);
  m_pParent->EffectivePlacement(px, py, pw, ph);
  x -= px;
  y -= py;
}

int EGenericROI::GetOrgX() const {
  int64_t x, y;
  OriginInParent(x, y);
  return static_cast<int>(x);
}

int EGenericROI::GetOrgY() const {
  int64_t x, y;
  OriginInParent(x, y);
  return static_cast<int>(y);
}

int EGenericROI::GetTotalOrgX() const {
  int64_t x, y, w, h;
  EffectivePlacement(x, y, w, h);
  return static_cast<int>(x);
}

int EGenericROI::GetTotalOrgY() const {
  int64_t x, y, w, h;
  EffectivePlacement(x, y, w, h);
  return static_cast<int>(y);
}

int EGenericROI::GetTotalWidth() const {
  const EGenericROI* root = GetRoot();
  return root != nullptr ? root->m_ImageWidth : 0;
}

int EGenericROI::GetTotalHeight() const {
  const EGenericROI* root = GetRoot();
  return root != nullptr ? root->m_ImageHeight : 0;
}

int EGenericROI::GetRowPitch() const {
  const EGenericROI* root = GetRoot();
  return root != nullptr ? root->m_Pitch : 0;
}

int EGenericROI::IsVoid() const {
  const EGenericROI* root = GetRoot();
  if (root == nullptr || root->m_Pixels.empty()) return 1;
  return GetWidth() <= 0 || GetHeight() <= 0;
}

uint8_t* EGenericROI::GetBasePtr() const {
  if (IsVoid()) return nullptr;
  const EGenericROI* root = GetRoot();
  int64_t x, y, w, h;
  EffectivePlacement(x, y, w, h);
  uint8_t* data = const_cast<uint8_t*>(root->m_Pixels.data());
  return data + y * root->m_Pitch + x * m_PixelSize;
}

const uint8_t* EGenericROI::GetRootPixels(int& width, int& height, int& pitch) const {
  const EGenericROI* root = GetRoot();
  if (root == nullptr || root->m_Pixels.empty() || root->m_ImageWidth <= 0 ||
      root->m_ImageHeight <= 0) {
    width = height = pitch = 0;
    return nullptr;
  }
  width = root->m_ImageWidth;
  height = root->m_ImageHeight;
  pitch = root->m_Pitch;
  return root->m_Pixels.data();
}
