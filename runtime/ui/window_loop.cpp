#include "runtime/ui/window_loop.h"

#include <SDL2/SDL.h>
#include <cairo.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>

#include "runtime/ui/clipboard.h"
#include "runtime/ui/floating_draw.h"
#include "runtime/ui/floating_placement.h"
#include "runtime/ui/text_renderer.h"
#include "runtime/ui/theme.h"
#include "runtime/ui/transition.h"

namespace kivo_ui::launch {

float display_scale_factor() {
  if (const char* env = std::getenv("KIVO_UI_SCALE")) {
    float v = std::strtof(env, nullptr);
    if (v >= 0.5f && v <= 4.f) return v;
  }
  float ddpi = 0, hdpi = 0, vdpi = 0;
  if (SDL_WasInit(SDL_INIT_VIDEO) && SDL_GetDisplayDPI(0, &ddpi, &hdpi, &vdpi) == 0 && hdpi > 0) {
    float s = std::round(hdpi / 96.f * 4) / 4;  // quarter steps
    return std::clamp(s, 1.f, 4.f);
  }
  return 1.f;
}

namespace {

// One top-level window with the Cairo surface its frames are drawn into.
struct NativeWindow {
  SDL_Window* window = nullptr;
  cairo_surface_t* surface = nullptr;
  int pw = 0, ph = 0;

  ~NativeWindow() {
    if (surface) cairo_surface_destroy(surface);
    if (window) SDL_DestroyWindow(window);
  }

  // Draws one frame through draw(canvas) and shows it.
  template <typename DrawFn>
  void present(const Theme& theme, DrawFn&& draw) {
    SDL_Surface* target = SDL_GetWindowSurface(window);
    if (!target) return;
    if (!surface || target->w != pw || target->h != ph) {
      if (surface) cairo_surface_destroy(surface);
      pw = target->w;
      ph = target->h;
      surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pw, ph);
    }
    cairo_t* cr = cairo_create(surface);
    cairo_scale(cr, theme.scale, theme.scale);
    Canvas canvas(cr, Size{pw / theme.scale, ph / theme.scale}, theme);
    draw(canvas);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    SDL_Surface* frame = SDL_CreateRGBSurfaceWithFormatFrom(cairo_image_surface_get_data(surface), pw, ph, 32,
                                                            cairo_image_surface_get_stride(surface),
                                                            SDL_PIXELFORMAT_ARGB8888);
    if (frame) {
      SDL_SetSurfaceBlendMode(frame, SDL_BLENDMODE_NONE);
      SDL_BlitSurface(frame, nullptr, target, nullptr);
      SDL_FreeSurface(frame);
    }
    SDL_UpdateWindowSurface(window);
  }
};

Modifiers mods_of(Uint16 m) {
  Modifiers out;
  out.shift = m & KMOD_SHIFT;
  out.ctrl = m & KMOD_CTRL;
  out.alt = m & KMOD_ALT;
  out.super = m & KMOD_GUI;
  return out;
}

KeyEvent key_of(const SDL_KeyboardEvent& k) {
  KeyEvent e;
  e.pressed = k.type == SDL_KEYDOWN;
  e.repeat = k.repeat != 0;
  e.mods = mods_of(k.keysym.mod);
  SDL_Keycode c = k.keysym.sym;
  switch (c) {
    case SDLK_RETURN:
    case SDLK_KP_ENTER: e.key = Key::Enter; break;
    case SDLK_ESCAPE: e.key = Key::Escape; break;
    case SDLK_TAB: e.key = Key::Tab; break;
    case SDLK_BACKSPACE: e.key = Key::Backspace; break;
    case SDLK_DELETE: e.key = Key::Delete; break;
    case SDLK_LEFT: e.key = Key::Left; break;
    case SDLK_RIGHT: e.key = Key::Right; break;
    case SDLK_UP: e.key = Key::Up; break;
    case SDLK_DOWN: e.key = Key::Down; break;
    case SDLK_HOME: e.key = Key::Home; break;
    case SDLK_END: e.key = Key::End; break;
    case SDLK_PAGEUP: e.key = Key::PageUp; break;
    case SDLK_PAGEDOWN: e.key = Key::PageDown; break;
    case SDLK_SPACE: e.key = Key::Space; e.character = ' '; break;
    case SDLK_INSERT: e.key = Key::Insert; break;
    case SDLK_F1: e.key = Key::F1; break;
    case SDLK_F2: e.key = Key::F2; break;
    case SDLK_F10: e.key = Key::F10; break;
    default:
      if (c > 0 && c < 0x110000 && !(c & SDLK_SCANCODE_MASK)) {
        e.key = Key::Character;
        e.character = char32_t(c);
      }
  }
  return e;
}

Uint32 wake_event_type() {
  static Uint32 type = SDL_RegisterEvents(1);
  return type;
}

// KIVO_UI_FRAME_COUNT_FILE names a file that holds the number of frames drawn (for tests).
struct FrameCounter {
  const char* path = std::getenv("KIVO_UI_FRAME_COUNT_FILE");
  uint64_t frames = 0;
  void tick() {
    ++frames;
    if (!path) return;
    std::string tmp = std::string(path) + ".tmp";
    if (FILE* f = std::fopen(tmp.c_str(), "w")) {
      std::fprintf(f, "%llu\n", static_cast<unsigned long long>(frames));
      std::fclose(f);
      std::rename(tmp.c_str(), path);
    }
  }
};

}  // namespace

int run_window(const WindowOptions& options, const std::function<std::unique_ptr<Widget>(WidgetContext&)>& make_widget) {
  SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
  SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
  SDL_SetHint(SDL_HINT_IME_SHOW_UI, "1");
  if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    std::cerr << "cannot open a window: " << SDL_GetError() << "\n";
    return 1;
  }
  float scale = display_scale_factor();
  Theme theme = Theme::light(scale);
  TextRenderer::shared().set_font_families(theme.font_families());

  Uint32 flags = SDL_WINDOW_ALLOW_HIGHDPI;
  if (options.resizable) flags |= SDL_WINDOW_RESIZABLE;
  if (!options.decorated) flags |= SDL_WINDOW_BORDERLESS;
  flags |= options.start_hidden ? SDL_WINDOW_HIDDEN : SDL_WINDOW_SHOWN;
  auto main_window = std::make_unique<NativeWindow>();
  main_window->window = SDL_CreateWindow(options.title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                         int(options.size.w * scale), int(options.size.h * scale), flags);
  if (!main_window->window) {
    std::cerr << "cannot open a window: " << SDL_GetError() << "\n";
    SDL_Quit();
    return 1;
  }
  Uint32 main_id = SDL_GetWindowID(main_window->window);

  clipboard::install({[] {
                        char* t = SDL_GetClipboardText();
                        std::string s = t ? t : "";
                        SDL_free(t);
                        return s;
                      },
                      [](const std::string& s) { SDL_SetClipboardText(s.c_str()); }});

  // Wake-ups from other threads: at most one user event is queued at a time.
  auto wake_pending = std::make_shared<std::atomic<bool>>(false);
  Uint32 wake_type = wake_event_type();
  WidgetContext ctx;
  ctx.interactive = true;
  ctx.scale = scale;
  ctx.wake = WakeHandle([wake_pending, wake_type] {
    if (wake_pending->exchange(true)) return;
    SDL_Event e{};
    e.type = wake_type;
    SDL_PushEvent(&e);
  });

  std::unique_ptr<Widget> widget = make_widget(ctx);
  if (!widget) {
    std::cerr << "the application created no widget\n";
    clipboard::install({});
    main_window.reset();
    SDL_Quit();
    return 1;
  }
  widget->set_focus(true);
  SDL_StartTextInput();

  std::map<std::string, std::unique_ptr<NativeWindow>> floating;  // detached surfaces by id
  FrameCounter counter;
  bool running = true, need_frame = true;

  auto dispatch = [&](const Event& e) {
    ctx.redraw_requested = false;
    widget->handle_event(ctx, e);
    need_frame = true;  // input always gets a frame
  };
  auto to_logical = [&](int x, int y) { return Point{x / scale, y / scale}; };

  auto handle = [&](const SDL_Event& ev) {
    if (ev.type == wake_type) {
      wake_pending->store(false);
      need_frame = true;
      return;
    }
    switch (ev.type) {
      case SDL_QUIT: running = false; break;
      case SDL_WINDOWEVENT: {
        Uint32 id = ev.window.windowID;
        if (id != main_id) {
          for (auto it = floating.begin(); it != floating.end(); ++it) {
            if (SDL_GetWindowID(it->second->window) != id) continue;
            FloatingSurfaceHost* host = widget->floating_host();
            if (ev.window.event == SDL_WINDOWEVENT_CLOSE && host) host->floating_surface_closed(it->first);
            if (ev.window.event == SDL_WINDOWEVENT_MOVED || ev.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
              if (FloatingPlacement* p = host ? host->floating_placement(it->first) : nullptr) {
                int mx, my, fx, fy, fw, fh;
                SDL_GetWindowPosition(main_window->window, &mx, &my);
                SDL_GetWindowPosition(it->second->window, &fx, &fy);
                SDL_GetWindowSize(it->second->window, &fw, &fh);
                p->set_detached_rect({(fx - mx) / scale, (fy - my) / scale, fw / scale, fh / scale});
              }
            }
            break;
          }
          need_frame = true;
          break;
        }
        switch (ev.window.event) {
          case SDL_WINDOWEVENT_CLOSE: running = false; break;
          case SDL_WINDOWEVENT_LEAVE: dispatch(PointerLeaveEvent{}); break;
          case SDL_WINDOWEVENT_FOCUS_GAINED: dispatch(FocusEvent{true}); break;
          case SDL_WINDOWEVENT_FOCUS_LOST: dispatch(FocusEvent{false}); break;
          default: need_frame = true;  // exposed, resized, shown
        }
        break;
      }
      case SDL_KEYDOWN:
      case SDL_KEYUP:
        if (ev.key.windowID == main_id) dispatch(key_of(ev.key));
        break;
      case SDL_TEXTINPUT:
        if (ev.text.windowID == main_id) dispatch(TextInputEvent{ev.text.text});
        break;
      case SDL_TEXTEDITING: {
        std::string text = ev.edit.text;
        int cursor = 0;  // SDL counts the caret in characters; convert to bytes
        for (int i = 0, chars = 0; i < int(text.size()) && chars < ev.edit.start; ++i)
          if ((static_cast<unsigned char>(text[size_t(i)]) & 0xC0) != 0x80) ++chars, cursor = i + 1;
        while (cursor < int(text.size()) && (static_cast<unsigned char>(text[size_t(cursor)]) & 0xC0) == 0x80) ++cursor;
        dispatch(CompositionEvent{text, ev.edit.start > 0 ? cursor : 0});
        break;
      }
      case SDL_MOUSEMOTION:
        if (ev.motion.windowID == main_id)
          dispatch(PointerMoveEvent{to_logical(ev.motion.x, ev.motion.y), mods_of(SDL_GetModState())});
        break;
      case SDL_MOUSEBUTTONDOWN:
      case SDL_MOUSEBUTTONUP: {
        if (ev.button.windowID != main_id) break;
        PointerButtonEvent b;
        b.pos = to_logical(ev.button.x, ev.button.y);
        b.pressed = ev.type == SDL_MOUSEBUTTONDOWN;
        b.clicks = ev.button.clicks;
        b.mods = mods_of(SDL_GetModState());
        b.button = ev.button.button == SDL_BUTTON_RIGHT    ? PointerButton::Secondary
                   : ev.button.button == SDL_BUTTON_MIDDLE ? PointerButton::Middle
                                                           : PointerButton::Primary;
        dispatch(b);
        break;
      }
      case SDL_MOUSEWHEEL: {
        if (ev.wheel.windowID != main_id) break;
        int mx = 0, my = 0;
        SDL_GetMouseState(&mx, &my);
        WheelEvent w;
        w.pos = to_logical(mx, my);
        float dir = ev.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -1.f : 1.f;
        w.dx = float(ev.wheel.x) * dir;
        w.dy = float(ev.wheel.y) * dir;
        dispatch(w);
        break;
      }
      default: break;
    }
  };

  auto frame = [&] {
    int pw = 0, ph = 0;
    SDL_GetWindowSizeInPixels(main_window->window, &pw, &ph);
    ctx.window_size = Size{pw / scale, ph / scale};
    ctx.now = monotonic_seconds();
    ctx.redraw_requested = false;
    widget->sync(ctx);
    if (auto status = widget->build_layout(ctx); !status.ok())
      std::cerr << "layout failed: " << status.error().message << "\n";
    widget->apply_layout(ctx, Rect{0, 0, ctx.window_size.w, ctx.window_size.h});
    main_window->present(theme, [&](Canvas& canvas) {
      widget->draw(ctx, canvas);
      draw_unattached_floating_surfaces(*widget, canvas, true);
    });
    ++ctx.frame;
    counter.tick();
    if (auto r = widget->text_input_rect()) {
      SDL_Rect ime{int(r->x * scale), int(r->y * scale), int(r->w * scale), int(r->h * scale)};
      SDL_SetTextInputRect(&ime);
    }

    // Detached floating surfaces get desktop windows of their own; others lose theirs.
    FloatingSurfaceHost* host = widget->floating_host();
    std::map<std::string, bool> seen;
    if (host) {
      for (const FloatingSurfaceDescriptor& d : host->floating_surfaces()) {
        FloatingPlacement* p = host->floating_placement(d.surface_id);
        if (!p || !p->is_detached()) continue;
        seen[d.surface_id] = true;
        auto& win = floating[d.surface_id];
        if (!win) {
          win = std::make_unique<NativeWindow>();
          Rect r = p->detached_rect();
          int mx = 0, my = 0;
          SDL_GetWindowPosition(main_window->window, &mx, &my);
          win->window = SDL_CreateWindow(d.title.c_str(), mx + int(r.x * scale), my + int(r.y * scale),
                                         int(r.w * scale), int(r.h * scale),
                                         SDL_WINDOW_SHOWN | SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
          if (!win->window) {
            std::cerr << "cannot open the floating window: " << SDL_GetError() << "\n";
            floating.erase(d.surface_id);
            p->reattach_to_app();
            continue;
          }
        }
        win->present(theme, [&](Canvas& canvas) {
          canvas.clear(theme.panel_bg);
          host->draw_floating_surface(d.surface_id, canvas);
        });
      }
    }
    for (auto it = floating.begin(); it != floating.end();) it = seen.count(it->first) ? std::next(it) : floating.erase(it);

    bool again = ctx.redraw_requested;
    if (widget->take_redraw_request()) again = true;
    if (widget->has_pending_work()) again = true;
    need_frame = again;
  };

  while (running) {
    SDL_Event ev;
    bool animating = widget->needs_animation_frame();
    if (!need_frame && !animating) {
      if (SDL_WaitEvent(&ev)) handle(ev);  // idle: sleep until something happens
    } else if (animating && !need_frame) {
      if (SDL_WaitEventTimeout(&ev, 16)) handle(ev);  // about 60 frames a second while animating
      need_frame = true;
    }
    while (running && SDL_PollEvent(&ev)) handle(ev);
    if (running && (need_frame || animating)) frame();
  }

  SDL_StopTextInput();
  floating.clear();
  widget.reset();  // the application object goes before the window
  clipboard::install({});
  main_window.reset();
  SDL_Quit();
  return 0;
}

}  // namespace kivo_ui::launch
