// Nodes of the image trees that the system holds: the file's own images and the image library.
// The image kinds and their records belong to the custom-panel code; this is the tree itself.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CCCImageBase {
 public:
  virtual ~CCCImageBase() = default;
  virtual bool IsDirectory() const = 0;

  std::string m_name;
  std::uint32_t m_id = 0;
};

// A folder of an image tree; it owns its children.
class CCCImageDirectory : public CCCImageBase {
 public:
  CCCImageDirectory() = default;
  explicit CCCImageDirectory(const std::string& name) { m_name = name; }
  ~CCCImageDirectory() override { RemoveAll(); }
  CCCImageDirectory(const CCCImageDirectory&) = delete;
  CCCImageDirectory& operator=(const CCCImageDirectory&) = delete;

  bool IsDirectory() const override { return true; }

  const std::vector<CCCImageBase*>& GetChildren() const { return m_children; }
  // Takes ownership of the node.
  void AddChild(CCCImageBase* node) { m_children.push_back(node); }
  // Deletes every child.
  void RemoveAll();
  // Removes a direct child and destroys it; false when it is not a direct child. With
  // deleteContents false a folder's own children are first taken out (not destroyed) and are
  // the caller's from then on.
  bool RemoveChild(CCCImageBase* child, bool deleteContents);
  // Takes a direct child out without destroying it.
  bool DetachChild(CCCImageBase* child);

 private:
  std::vector<CCCImageBase*> m_children;
};
