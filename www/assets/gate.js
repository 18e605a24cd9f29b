// gate.js - the waiting page asks every two seconds whether the host has let
// this device in (or not), and then goes on to the page it was asked for.
(function () {
  'use strict';
  async function ask() {
    try {
      const reply = await fetch('/wait.php', { cache: 'no-store', credentials: 'same-origin' });
      const { state } = await reply.json();
      if (state !== 'waiting') {
        window.location.reload();
        return;
      }
    } catch (e) {
      // The server may be restarting: ask again.
    }
    setTimeout(ask, 2000);
  }
  setTimeout(ask, 2000);
})();
