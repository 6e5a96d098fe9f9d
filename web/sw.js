// The page's offline copy. The page and the program are kept in a cache named after this
// build (build-web.sh writes its version below), so a new build replaces the old one; the
// game's voice is kept, once fetched, in a cache named after the voice's own version.
// Everything is answered from the caches first and from the network otherwise.
'use strict';

const Version = 'QUELVAR_BUILD_VERSION';
const VoiceVersion = 'QUELVAR_VOICE_VERSION';
const PageCache = 'quelvar-page-' + Version;
const VoiceCache = 'quelvar-voice-' + VoiceVersion;
const PageFiles = ['./', 'index.html', 'page.js', 'page.css', 'worklet.js', 'ajuda.html', 'quelvar.js',
                   'quelvar.wasm', 'quelvar.data', 'manifest.webmanifest', 'quelvar.svg', 'quelvar.png'];
const VoiceFiles = ['voice.json', 'voice.data'];

self.addEventListener('install', (event) => {
  event.waitUntil(caches.open(PageCache).then((cache) => cache.addAll(PageFiles)).then(() => self.skipWaiting()));
});

self.addEventListener('activate', (event) => {
  event.waitUntil(caches.keys()
    .then((names) => Promise.all(names.filter((name) => name.startsWith('quelvar-') &&
                                                       name !== PageCache && name !== VoiceCache)
                                      .map((name) => caches.delete(name))))
    .then(() => self.clients.claim()));
});

function isVoice(url) {
  return VoiceFiles.some((name) => url.pathname.endsWith('/' + name));
}

self.addEventListener('fetch', (event) => {
  const url = new URL(event.request.url);
  if (event.request.method !== 'GET' || url.origin !== self.location.origin) return;
  event.respondWith((async () => {
    const cached = await caches.match(event.request, {ignoreSearch: true});
    if (cached) return cached;
    const response = await fetch(event.request);
    // The voice is kept only once it has come whole: the page reads it to its end.
    if (response.ok && isVoice(url)) {
      const copy = response.clone();
      event.waitUntil(caches.open(VoiceCache).then((cache) => cache.put(event.request, copy)));
    }
    return response;
  })());
});
