// The program's side of the page (linked with --js-library): what platform/backends/web/web_backend.cpp,
// platform/audio/web_audio.cpp and speech/sapi/web_speech_objects.cpp call. Each call goes to the
// page's own object, Module.quelvarPage (web/page.js); under Node there is none, and the
// program uses its headless console there.
mergeInto(LibraryManager.library, {
  $QuelvarWeb: {
    resume: null,  // ends the program's current wait
    woken: false,  // news came while the program was running: its next wait ends at once
    // Runs fn as soon as the browser has handled what waits, with no timer clamping.
    soon: function (fn) {
      if (typeof MessageChannel === 'undefined') {
        setTimeout(fn, 0);
        return;
      }
      if (!QuelvarWeb.channel) {
        QuelvarWeb.channel = new MessageChannel();
        QuelvarWeb.queue = [];
        QuelvarWeb.channel.port1.onmessage = function () {
          var fns = QuelvarWeb.queue;
          QuelvarWeb.queue = [];
          fns.forEach(function (f) { f(); });
        };
      }
      QuelvarWeb.queue.push(fn);
      QuelvarWeb.channel.port2.postMessage(0);
    },
    page: function () { return Module['quelvarPage']; },
  },

  quelvar_web_in_page__deps: ['$QuelvarWeb'],
  quelvar_web_in_page: function () { return QuelvarWeb.page() ? 1 : 0; },

  quelvar_web_wait__deps: ['$QuelvarWeb'],
  quelvar_web_wait: function (timeoutMs) {
    return Asyncify.handleSleep(function (wakeUp) {
      var timer = 0, done = false;
      function finish() {
        if (done) return;
        done = true;
        QuelvarWeb.resume = null;
        if (timer) clearTimeout(timer);
        wakeUp();
      }
      if (QuelvarWeb.woken || timeoutMs === 0) {
        QuelvarWeb.woken = false;
        QuelvarWeb.soon(finish);
        return;
      }
      QuelvarWeb.resume = function () { QuelvarWeb.soon(finish); };
      // Nothing to do but wait for the player.
      if (timeoutMs < 0 && QuelvarWeb.page()) QuelvarWeb.page().idle();
      if (timeoutMs > 0) timer = setTimeout(finish, timeoutMs);
    });
  },

  quelvar_web_wake__deps: ['$QuelvarWeb'],
  quelvar_web_wake: function () {
    if (QuelvarWeb.resume) QuelvarWeb.resume();
    else QuelvarWeb.woken = true;
  },

  quelvar_web_draw_row__deps: ['$QuelvarWeb'],
  quelvar_web_draw_row: function (row, characters, colours, columns) {
    var page = QuelvarWeb.page();
    if (!page) return;
    var text = HEAPU16.subarray(characters >> 1, (characters >> 1) + columns);
    page.drawRow(row, String.fromCharCode.apply(null, text),
                 HEAPU32.slice(colours >> 2, (colours >> 2) + 2 * columns));
  },

  quelvar_web_caret__deps: ['$QuelvarWeb'],
  quelvar_web_caret: function (visible, column, row) {
    var page = QuelvarWeb.page();
    if (page) page.caret(!!visible, column, row);
  },

  quelvar_web_title__deps: ['$QuelvarWeb'],
  quelvar_web_title: function (utf8) {
    var page = QuelvarWeb.page();
    if (page) page.title(UTF8ToString(utf8));
  },

  quelvar_web_announce__deps: ['$QuelvarWeb'],
  quelvar_web_announce: function (utf8) {
    var page = QuelvarWeb.page();
    if (page) page.announce(UTF8ToString(utf8));
  },

  quelvar_web_audio_rate__deps: ['$QuelvarWeb'],
  quelvar_web_audio_rate: function () {
    var page = QuelvarWeb.page();
    return page ? page.audioRate() : 0;
  },

  quelvar_web_audio_buffer_frames__deps: ['$QuelvarWeb'],
  quelvar_web_audio_buffer_frames: function () {
    var page = QuelvarWeb.page();
    return page ? page.audioBufferFrames() : 0;
  },

  quelvar_web_voice_count__deps: ['$QuelvarWeb'],
  quelvar_web_voice_count: function () {
    var page = QuelvarWeb.page();
    return page ? page.voices().length : 0;
  },

  quelvar_web_voice_name__deps: ['$QuelvarWeb'],
  quelvar_web_voice_name: function (index) {
    var page = QuelvarWeb.page();
    var voice = page ? page.voices()[index] : null;
    return voice ? allocateUTF8(voice.name + ' (' + voice.lang + ')') : 0;
  },

  quelvar_web_speak__deps: ['$QuelvarWeb'],
  quelvar_web_speak: function (utf8, voice, rate, purge, written) {
    var page = QuelvarWeb.page();
    return page ? page.speak(UTF8ToString(utf8), voice, rate, !!purge, !!written) : 0;
  },

  quelvar_web_cue__deps: ['$QuelvarWeb'],
  quelvar_web_cue: function (name) {
    var page = QuelvarWeb.page();
    if (page) page.cue(UTF8ToString(name));
  },
});

// Syncing a file to its storage. Node's files (NODERAWFS) have no mount of their own: the
// file itself is synced, and a file that cannot be (a FIFO, a device) answers as it does
// natively. The page's settings reach the browser's storage through the page's own syncs.
mergeInto(LibraryManager.library, {
  fd_sync__deps: ['$SYSCALLS', '$ERRNO_CODES'],
  fd_sync: function (fd) {
    try {
      var stream = SYSCALLS.getStreamFromFD(fd);
      if (ENVIRONMENT_IS_NODE && stream.nfd !== undefined) require('fs').fsyncSync(stream.nfd);
      return 0;
    } catch (e) {
      if (e.code && ERRNO_CODES[e.code]) return ERRNO_CODES[e.code];
      if (typeof FS == 'undefined' || !(e instanceof FS.ErrnoError)) throw e;
      return e.errno;
    }
  },
});
