#include "runtime/ui/image_store.h"

#include <cairo.h>

#include <algorithm>
#include <fstream>

namespace kivo_ui {

kivo::Result<std::vector<uint8_t>> read_file_bytes(const std::string& key, size_t max_bytes) {
  std::string path = key.rfind("file://", 0) == 0 ? key.substr(7) : key;
  if (path.empty() || path[0] != '/') return kivo::make_error("no loader for \"" + key + "\"");
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return kivo::make_error("cannot open " + path);
  auto size = static_cast<std::streamoff>(in.tellg());
  if (size < 0) return kivo::make_error("cannot read " + path);
  if (uint64_t(size) > max_bytes) return kivo::make_error(path + " is too large to load as an image");
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  in.seekg(0);
  if (!in.read(reinterpret_cast<char*>(bytes.data()), size)) return kivo::make_error("cannot read " + path);
  return bytes;
}

ImageStore::ImageStore(ImageStoreConfig config) : m_config(std::move(config)) {
  if (!m_config.loader) {
    size_t limit = m_config.max_encoded_bytes;
    m_config.loader = [limit](const std::string& key) { return read_file_bytes(key, limit); };
  }
  int n = std::clamp(m_config.workers, 1, 8);
  for (int i = 0; i < n; ++i) m_threads.emplace_back([this] { worker(); });
}

ImageStore::~ImageStore() {
  {
    std::lock_guard lock(m_mutex);
    m_stopping = true;
    m_queue.clear();
  }
  m_work_cv.notify_all();
  for (auto& t : m_threads) t.join();
}

ImageRef ImageStore::get(const std::string& key) {
  std::lock_guard lock(m_mutex);
  auto it = m_entries.find(key);
  if (it != m_entries.end()) {
    Entry& e = it->second;
    if (e.state == ImageState::Ready) {
      m_lru.splice(m_lru.begin(), m_lru, e.lru);
      return e.image;
    }
    if (e.state != ImageState::Unknown) return nullptr;
  }
  if (m_queue.size() >= m_config.max_queued || m_stopping) return nullptr;  // asked again next frame
  m_entries[key].state = ImageState::Loading;
  m_queue.push_back(key);
  m_work_cv.notify_one();
  return nullptr;
}

ImageState ImageStore::state(const std::string& key) const {
  std::lock_guard lock(m_mutex);
  auto it = m_entries.find(key);
  return it == m_entries.end() ? ImageState::Unknown : it->second.state;
}

std::optional<std::string> ImageStore::error(const std::string& key) const {
  std::lock_guard lock(m_mutex);
  auto it = m_entries.find(key);
  if (it == m_entries.end() || it->second.state != ImageState::Failed) return std::nullopt;
  return it->second.error;
}

bool ImageStore::is_idle() const {
  std::lock_guard lock(m_mutex);
  return m_queue.empty() && m_running == 0;
}

bool ImageStore::block_until_idle(std::chrono::milliseconds limit) {
  std::unique_lock lock(m_mutex);
  return m_idle_cv.wait_for(lock, limit, [this] { return m_queue.empty() && m_running == 0; });
}

void ImageStore::set_on_loaded(std::function<void()> callback) {
  std::lock_guard lock(m_mutex);
  m_on_loaded = std::move(callback);
}

void ImageStore::forget(const std::string& key) {
  std::lock_guard lock(m_mutex);
  auto it = m_entries.find(key);
  if (it == m_entries.end() || it->second.state == ImageState::Loading) return;
  if (it->second.state == ImageState::Ready) {
    m_bytes -= it->second.image->byte_size();
    m_lru.erase(it->second.lru);
  }
  m_entries.erase(it);
}

size_t ImageStore::decoded_bytes() const {
  std::lock_guard lock(m_mutex);
  return m_bytes;
}

void ImageStore::trim_locked(const std::string& keep) {
  while (m_bytes > m_config.max_decoded_bytes && !m_lru.empty()) {
    const std::string victim = m_lru.back();
    if (victim == keep) break;
    auto it = m_entries.find(victim);
    m_lru.pop_back();
    if (it == m_entries.end()) continue;
    m_bytes -= it->second.image->byte_size();
    m_entries.erase(it);
  }
}

void ImageStore::worker() {
  for (;;) {
    std::string key;
    {
      std::unique_lock lock(m_mutex);
      m_work_cv.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
      if (m_stopping) return;
      key = std::move(m_queue.front());
      m_queue.pop_front();
      ++m_running;
    }
    kivo::Result<ImageRef> result = kivo::make_error("");
    auto bytes = m_config.loader(key);
    if (!bytes.ok())
      result = bytes.take_error();
    else if (bytes->size() > m_config.max_encoded_bytes)
      result = kivo::make_error("image source is too large");
    else
      result = image_codec::decode(bytes.value());

    std::function<void()> notify;
    {
      std::lock_guard lock(m_mutex);
      auto it = m_entries.find(key);
      if (it != m_entries.end()) {
        Entry& e = it->second;
        if (result.ok() && result.value()->byte_size() > m_config.max_decoded_bytes) {
          e.state = ImageState::Failed;
          e.error = "image is larger than the image cache";
        } else if (result.ok()) {
          e.state = ImageState::Ready;
          e.image = result.value();
          m_lru.push_front(key);
          e.lru = m_lru.begin();
          m_bytes += e.image->byte_size();
          trim_locked(key);
        } else {
          e.state = ImageState::Failed;
          e.error = result.error().message;
        }
      }
      notify = m_on_loaded;
    }
    // The load counts as running until its listener has heard of it, so that a caller who waited
    // for idleness never sees a loaded image whose notification is still to come.
    if (notify) notify();
    {
      std::lock_guard lock(m_mutex);
      --m_running;
      if (m_queue.empty() && m_running == 0) m_idle_cv.notify_all();
    }
  }
}

namespace image_store {

static void paint_scaled(Canvas& canvas, const Image& image, Rect rect, float radius, bool cover) {
  if (!image.surface || image.width <= 0 || image.height <= 0 || rect.empty()) return;
  cairo_t* cr = canvas.cairo();
  double sx = rect.w / image.width, sy = rect.h / image.height;
  double scale = cover ? std::max(sx, sy) : std::min(sx, sy);
  double w = image.width * scale, h = image.height * scale;
  double x = rect.x + (rect.w - w) / 2, y = rect.y + (rect.h - h) / 2;
  canvas.push_clip(rect, radius);
  cairo_translate(cr, x, y);
  cairo_scale(cr, scale, scale);
  cairo_set_source_surface(cr, image.surface, 0, 0);
  cairo_pattern_set_filter(cairo_get_source(cr), scale < 1 ? CAIRO_FILTER_GOOD : CAIRO_FILTER_BILINEAR);
  cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
  cairo_rectangle(cr, 0, 0, image.width, image.height);
  cairo_fill(cr);
  canvas.pop_clip();
}

void paint_image_cover(Canvas& canvas, const Image& image, Rect rect, float radius) {
  paint_scaled(canvas, image, rect, radius, true);
}

void paint_image_contain(Canvas& canvas, const Image& image, Rect rect, float radius) {
  paint_scaled(canvas, image, rect, radius, false);
}

}  // namespace image_store
}  // namespace kivo_ui
