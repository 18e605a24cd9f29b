// host.js - the host page: the QR codes of the address with the code and of
// each of this computer's addresses, times in the host's own zone, and the
// lists of waiting devices and of transfers kept fresh, so a new device or an
// upload's progress shows without reloading.
(function () {
  'use strict';
  const format = new Intl.DateTimeFormat(undefined, { dateStyle: 'medium', timeStyle: 'short' });

  function localTimes(root) {
    root.querySelectorAll('time[datetime]').forEach((el) => {
      const date = new Date(el.getAttribute('datetime'));
      if (!isNaN(date)) el.textContent = format.format(date);
    });
  }

  function drawCodes() {
    if (!window.OstrelQr) return;
    const canvas = document.getElementById('host-qr');
    if (canvas) window.OstrelQr.draw(canvas, canvas.dataset.text, 4);
    document.querySelectorAll('canvas.host-address-qr').forEach((address) => {
      window.OstrelQr.draw(address, address.dataset.text, 3);
    });
  }

  // A section is replaced only while the host is not using it.
  async function refreshWaiting() {
    try {
      const reply = await fetch('/host.php', { cache: 'no-store', credentials: 'same-origin' });
      const page = new DOMParser().parseFromString(await reply.text(), 'text/html');
      for (const id of ['waiting', 'transfers']) {
        const current = document.getElementById(id);
        const fresh = page.getElementById(id);
        if (reply.ok && fresh && current && !current.contains(document.activeElement)
            && fresh.innerHTML !== current.innerHTML) {
          localTimes(fresh);
          current.replaceWith(document.importNode(fresh, true));
        }
      }
    } catch (e) {
      // The server may be restarting: try again on the next round.
    }
    setTimeout(refreshWaiting, 3000);
  }

  localTimes(document);
  drawCodes();
  setTimeout(refreshWaiting, 3000);
})();
