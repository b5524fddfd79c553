// play_flv.mjs FLV EXPECTED_FRAMES: plays FLV to its end in headless Chromium through mpegts.js
// and passes (exit 0) if at least 90% of EXPECTED_FRAMES were shown. Prints one line.
// The npm packages are looked for in $PLAYERS_CACHE/node_modules (see check_playback.sh).
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import { createRequire } from 'node:module';

const [flv, expectedArg] = process.argv.slice(2);
const expected = Number(expectedArg);
if (!flv || !(expected > 0)) {
    console.log('usage: play_flv.mjs FLV EXPECTED_FRAMES');
    process.exit(2);
}
const cache = process.env.PLAYERS_CACHE || path.join(import.meta.dirname, '../../build/players');
const require = createRequire(path.join(path.resolve(cache), 'node_modules/'));
const puppeteer = require('puppeteer-core');
const mpegtsJs = require.resolve('mpegts.js/dist/mpegts.js');

const PAGE = `<!doctype html><video muted></video><script src="/mpegts.js"></script><script>
const video = document.querySelector('video');
window.errors = [];
window.ended = false;
video.addEventListener('ended', () => { window.ended = true; });
video.addEventListener('error', () => errors.push('video element: ' + video.error.message));
const player = mpegts.createPlayer({type: 'flv', isLive: false, url: '/clip.flv'});
player.on(mpegts.Events.ERROR, (type, detail, info) =>
    errors.push('mpegts.js ' + type + ': ' + detail + ': ' + (info && info.msg || JSON.stringify(info))));
player.attachMediaElement(video);
player.load();
player.play();
</script>`;

const size = fs.statSync(flv).size;
const server = http.createServer((req, res) => {
    if (req.url === '/') return res.writeHead(200, {'Content-Type': 'text/html'}).end(PAGE);
    if (req.url === '/mpegts.js') {
        return res.writeHead(200, {'Content-Type': 'text/javascript'}).end(fs.readFileSync(mpegtsJs));
    }
    if (req.url !== '/clip.flv') return res.writeHead(404).end();
    // mpegts.js asks for byte ranges when it seeks or resumes loading.
    const range = /^bytes=(\d+)-(\d*)$/.exec(req.headers.range || '');
    const start = range ? Number(range[1]) : 0;
    const end = range && range[2] ? Number(range[2]) : size - 1;
    res.writeHead(range ? 206 : 200, {
        'Content-Type': 'video/x-flv',
        'Content-Length': end - start + 1,
        ...(range && {'Content-Range': `bytes ${start}-${end}/${size}`}),
    });
    fs.createReadStream(flv, {start, end}).pipe(res);
});
await new Promise(resolve => server.listen(0, '127.0.0.1', resolve));

let browser, verdict;
try {
    browser = await puppeteer.launch({
        executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
        headless: true,
        // --no-sandbox: Chromium's sandbox does not start as root in a container.
        args: ['--no-sandbox', '--disable-dev-shm-usage', '--autoplay-policy=no-user-gesture-required'],
    });
    verdict = await play(await browser.newPage());
} catch (e) {
    verdict = {ok: false, line: `browser failed: ${e.message.split('\n')[0]}`};
} finally {
    await browser?.close();
    server.close();
}
console.log(verdict.line);
process.exit(verdict.ok ? 0 : 1);

async function play(page) {
    const pageErrors = [];
    page.on('pageerror', e => pageErrors.push(`page error: ${e.message}`));
    await page.goto(`http://127.0.0.1:${server.address().port}/`);
    const started = Date.now();
    // 30 s to learn the duration, then 3x the clip's length + 30 s to play it. Playing faster
    // than 1x is no use: at 2x headless Chromium already drops 7% of the frames.
    let deadline = started + 30_000, timed = false, nearEnd;
    for (;;) {
        const s = await page.evaluate(() => {
            const v = document.querySelector('video');
            const b = v.buffered;
            return {errors, ended, duration: v.duration, time: v.currentTime, paused: v.paused,
                    readyState: v.readyState,
                    buffered: b.length ? `${b.start(0).toFixed(2)}-${b.end(b.length - 1).toFixed(2)}` : 'none'};
        });
        const errs = new Set([...s.errors, ...pageErrors]);  // mpegts.js repeats one per frame
        if (errs.size) return {ok: false, line: [...errs].join('; ')};
        // At the end without an 'ended' event (no endOfStream): wait 1 s for it, then accept.
        if (s.duration - s.time < s.duration / expected) nearEnd ??= Date.now();
        if (s.ended || (nearEnd && Date.now() - nearEnd > 1000)) break;
        if (!timed && Number.isFinite(s.duration)) {
            deadline = Date.now() + (3 * s.duration + 30) * 1000;
            timed = true;
        }
        if (Date.now() > deadline) {
            const secs = Math.round((Date.now() - started) / 1000);
            return {ok: false, line: `no end after ${secs} s: ` + (timed
                ? `at ${s.time.toFixed(2)} of ${s.duration.toFixed(2)} s, paused ${s.paused}, ` +
                  `readyState ${s.readyState}, buffered ${s.buffered}`
                : `duration never known (readyState ${s.readyState})`)};
        }
        await new Promise(resolve => setTimeout(resolve, 200));
    }
    const q = await page.evaluate(() => {
        const v = document.querySelector('video');
        const {totalVideoFrames, droppedVideoFrames} = v.getVideoPlaybackQuality();
        return {total: totalVideoFrames, dropped: droppedVideoFrames, ended: window.ended};
    });
    const played = q.total - q.dropped;
    const line = `played ${played} of ${expected} frames (dropped ${q.dropped}), ` +
                 (q.ended ? 'ended' : 'reached the end without an ended event');
    return played * 10 >= expected * 9 ? {ok: true, line} : {ok: false, line: `${line}: fewer than 90%`};
}
