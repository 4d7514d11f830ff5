// ImageStore: loads and decodes images on worker threads; the UI thread asks with get() and
// receives the image once it is ready. Memory for decoded images is bounded (least recently used
// images are dropped and load again when asked for).
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "runtime/base/result.h"
#include "runtime/ui/canvas.h"
#include "runtime/ui/image.h"

namespace kivo_ui {

enum class ImageState { Unknown, Loading, Ready, Failed };

struct ImageStoreConfig {
  // Resolves a key to its encoded bytes (runs on a worker thread). The default reads "file://"
  // URIs and plain paths.
  std::function<kivo::Result<std::vector<uint8_t>>(const std::string& key)> loader;
  size_t max_decoded_bytes = 192u << 20;  // decoded pixels kept at once
  size_t max_queued = 256;                // loads waiting at once; further get() calls retry later
  size_t max_encoded_bytes = 64u << 20;   // larger sources are refused
  int workers = 2;
};

class ImageStore {
public:
  explicit ImageStore(ImageStoreConfig config = {});
  ~ImageStore();  // stops the workers (a load in progress finishes first)
  ImageStore(const ImageStore&) = delete;
  ImageStore& operator=(const ImageStore&) = delete;

  // The image when decoded; otherwise starts its load (once) and answers none. Never blocks on I/O.
  ImageRef get(const std::string& key);
  ImageState state(const std::string& key) const;
  std::optional<std::string> error(const std::string& key) const;  // why a load failed
  bool is_idle() const;  // no load queued or running
  // Waits until idle or the limit passes; answers whether the store is idle.
  bool block_until_idle(std::chrono::milliseconds limit);
  // Called on a worker thread after each finished load (e.g. WakeHandle::wake).
  void set_on_loaded(std::function<void()> callback);
  void forget(const std::string& key);  // drops an image or failure so it loads again
  size_t decoded_bytes() const;

private:
  struct Entry {
    ImageState state = ImageState::Unknown;
    ImageRef image;
    std::string error;
    std::list<std::string>::iterator lru;  // for Ready entries
  };
  void worker();
  void trim_locked(const std::string& keep);

  ImageStoreConfig m_config;
  mutable std::mutex m_mutex;
  std::condition_variable m_work_cv, m_idle_cv;
  std::unordered_map<std::string, Entry> m_entries;
  std::list<std::string> m_lru;  // Ready keys, most recently used first
  std::deque<std::string> m_queue;
  size_t m_running = 0;
  size_t m_bytes = 0;
  bool m_stopping = false;
  std::function<void()> m_on_loaded;
  std::vector<std::thread> m_threads;
};

// Reads a "file://" URI or a plain path (the default loader).
kivo::Result<std::vector<uint8_t>> read_file_bytes(const std::string& key, size_t max_bytes);

namespace image_store {

// Paints the image scaled to cover rect (cropping the overflow, centred) inside a rounded frame.
void paint_image_cover(Canvas& canvas, const Image& image, Rect rect, float radius);
// Paints the image scaled to fit inside rect, centred.
void paint_image_contain(Canvas& canvas, const Image& image, Rect rect, float radius);

}  // namespace image_store
}  // namespace kivo_ui
