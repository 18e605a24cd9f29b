// host_network.js - the host page's list of this computer's addresses: a QR
// code for each, so a phone can open any of them.
(function () {
  'use strict';
  if (!window.OstrelQr) return;
  document.querySelectorAll('canvas.host-address-qr').forEach((canvas) => {
    window.OstrelQr.draw(canvas, canvas.dataset.text, 3);
  });
})();
