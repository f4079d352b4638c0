#include "vimo/core/image.h"

#include <algorithm>

EGenericROI::~EGenericROI() {
  DetachChildren();
  Unlink();
}

void EGenericROI::DetachChildren() {
  std::vector<EGenericROI*> children;
  children.swap(m_Children);
  for (EGenericROI* child : children) {
    child->m_pParent = nullptr;
    child->RefreshTree();
  }
}

void EGenericROI::LinkTo(EGenericROI* parent) {
  Unlink();
  m_pParent = parent;
  parent->m_Children.push_back(this);
  RefreshTree();
}

void EGenericROI::Unlink() {
  if (m_pParent == nullptr) return;
  std::vector<EGenericROI*>& siblings = m_pParent->m_Children;
  siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  m_pParent = nullptr;
  RefreshTree();
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
  RefreshTree();
}

void EGenericROI::MarkAsImage() {
  m_IsImage = true;
  RefreshTree();
}

void EGenericROI::AdoptPixels(std::vector<uint8_t>& pixels, int width, int height, int pitch) {
  m_Pixels.swap(pixels);
  m_ImageWidth = width;
  m_ImageHeight = height;
  m_Pitch = pitch;
  RefreshTree();
}

void EGenericROI::RefreshTree() {
  RefreshPlacement();
  if (m_Children.empty()) return;
  // Parents before children, without recursion: trees may be deep.
  std::vector<EGenericROI*> pending(m_Children.begin(), m_Children.end());
  while (!pending.empty()) {
    EGenericROI* region = pending.back();
    pending.pop_back();
    region->RefreshPlacement();
    pending.insert(pending.end(), region->m_Children.begin(), region->m_Children.end());
  }
}

void EGenericROI::RefreshPlacement() {
  int64_t x = 0, y = 0, w = 0, h = 0;
  if (m_IsImage) {
    m_pRoot = this;
    w = m_ImageWidth;
    h = m_ImageHeight;
  } else if (m_pParent == nullptr) {
    m_pRoot = nullptr;
  } else {
    const EGenericROI& parent = *m_pParent;
    m_pRoot = parent.m_pRoot;
    const int64_t pw = parent.m_ClippedWidth, ph = parent.m_ClippedHeight;
    // Clip the requested rectangle to the parent's clipped extent.
    int64_t x0 = std::min<int64_t>(std::max<int64_t>(m_OrgX, 0), pw);
    int64_t y0 = std::min<int64_t>(std::max<int64_t>(m_OrgY, 0), ph);
    int64_t x1 = std::min<int64_t>(std::max<int64_t>(int64_t(m_OrgX) + m_Width, 0), pw);
    int64_t y1 = std::min<int64_t>(std::max<int64_t>(int64_t(m_OrgY) + m_Height, 0), ph);
    x = parent.m_ClippedX + x0;
    y = parent.m_ClippedY + y0;
    w = std::max<int64_t>(0, x1 - x0);
    h = std::max<int64_t>(0, y1 - y0);
  }
  m_ClippedX = static_cast<int>(x);
  m_ClippedY = static_cast<int>(y);
  m_ClippedWidth = static_cast<int>(w);
  m_ClippedHeight = static_cast<int>(h);
  m_RowPitch = m_pRoot != nullptr ? m_pRoot->m_Pitch : 0;
  const bool hasPixels = m_pRoot != nullptr && !m_pRoot->m_Pixels.empty();
  m_pBase = hasPixels && w > 0 && h > 0
                ? const_cast<uint8_t*>(m_pRoot->m_Pixels.data()) + y * m_RowPitch + x * m_PixelSize
                : nullptr;
}

int EGenericROI::GetOrgX() const {
  if (m_IsImage || m_pParent == nullptr) return 0;
  return m_ClippedX - m_pParent->m_ClippedX;
}

int EGenericROI::GetOrgY() const {
  if (m_IsImage || m_pParent == nullptr) return 0;
  return m_ClippedY - m_pParent->m_ClippedY;
}

int EGenericROI::GetTotalWidth() const { return m_pRoot != nullptr ? m_pRoot->m_ImageWidth : 0; }

int EGenericROI::GetTotalHeight() const { return m_pRoot != nullptr ? m_pRoot->m_ImageHeight : 0; }

const uint8_t* EGenericROI::GetRootPixels(int& width, int& height, int& pitch) const {
  const EGenericROI* root = m_pRoot;
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
