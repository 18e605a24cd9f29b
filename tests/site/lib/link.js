// link.js - the network between a browser and the server, in the test's
// hands: a TCP proxy from a visitor's address that holds what the client
// sends to a speed, counts the bytes the server reads from it, resets
// connections, and goes away for a while as a phone's Wi-Fi does.
'use strict';
const net = require('node:net');
const { PORT } = require('./fixture');

/** Listens on 127.0.0.1 at a port of its own, and sends on to the server at bytesPerSecond. */
async function openLink(bytesPerSecond, from = '127.0.0.2') {
  const pairs = new Set();
  const stranded = new Set();  // server ends of connections the network lost
  let toServer = 0;
  let down = false;

  const server = net.createServer((client) => {
    if (down) return client.resetAndDestroy();
    const upstream = net.connect({ port: PORT, host: '127.0.0.1', localAddress: from });
    const pair = { client, upstream };
    pairs.add(pair);
    const end = () => {
      if (pairs.delete(pair)) [client, upstream].forEach((socket) => socket.destroy());
    };
    [client, upstream].forEach((socket) => socket.on('error', end).on('close', end));
    // The client is read on once the server took a chunk and the chunk's time at the link's speed has passed.
    client.on('data', (chunk) => {
      toServer += chunk.length;
      client.pause();
      upstream.write(chunk, () => setTimeout(() => client.resume(), (chunk.length / bytesPerSecond) * 1000));
    });
    upstream.on('data', (chunk) => client.write(chunk));
    upstream.on('end', () => client.end());
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  const resetAll = () => {
    for (const { client, upstream } of pairs) [client, upstream].forEach((socket) => socket.resetAndDestroy());
    pairs.clear();
  };
  return {
    port: server.address().port,
    /** Bytes the client sent that went on to the server. */
    bytesToServer: () => toServer,
    /** Every open connection ends with a reset, at both ends. */
    resetAll,
    /** The network goes until back(): the browser's connections fail at once, new ones are refused; the server is told nothing. */
    cutOff() {
      down = true;
      for (const { client, upstream } of pairs) {
        upstream.removeAllListeners('data');
        stranded.add(upstream);
        client.resetAndDestroy();
      }
      pairs.clear();
    },
    back: () => { down = false; },
    close() {
      resetAll();
      stranded.forEach((socket) => socket.destroy());
      return new Promise((resolve) => server.close(resolve));
    },
  };
}

module.exports = { openLink };
