// Keeps the magazine's files for use without a network: after one visit it starts offline, and
// a phone or desktop that installed it from the manifest runs it like a program. make web writes
// VERSION from the files' contents, so a new build is a new service worker with a cache of its
// own, and the old cache goes when it takes over.
'use strict';
var VERSION = '@QM_WEB_VERSION@';
var CACHE = 'quellmark-' + VERSION;
var FILES = ['./', 'index.html', 'quellmark.js', 'quellmark.wasm', 'quellmark-audio.js',
             'manifest.webmanifest',
             'icons/quellmark-32.png', 'icons/quellmark-128.png',
             'icons/quellmark-256.png'];

self.addEventListener('install', function(event) {
  event.waitUntil(caches.open(CACHE).then(function(cache) {
    return cache.addAll(FILES);
  }).then(function() {
    return self.skipWaiting();
  }));
});

self.addEventListener('activate', function(event) {
  event.waitUntil(caches.keys().then(function(names) {
    return Promise.all(names.filter(function(name) {
      return name.indexOf('quellmark-') === 0 && name !== CACHE;
    }).map(function(name) {
      return caches.delete(name);
    }));
  }).then(function() {
    return self.clients.claim();
  }));
});

// The cached copy first, the network for anything else.
self.addEventListener('fetch', function(event) {
  if (event.request.method !== 'GET') return;
  event.respondWith(caches.open(CACHE).then(function(cache) {
    return cache.match(event.request, {ignoreSearch: true});
  }).then(function(hit) {
    return hit || fetch(event.request);
  }));
});
