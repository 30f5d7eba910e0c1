// The server's API as the pages use it: commands, the live stream of changes and the token.
// Every request goes to the server that served the page, by relative address.
//
// The stream is read with fetch() rather than EventSource, which cannot send the token. The server
// says something at least every second, so a stream that ends, fails or stays silent for a few
// seconds (a controller that stopped answering on a link that stays open) counts as lost: it is
// dropped and opened again with a growing pause; its first event is always the whole state.
//
// A command carries a deadline on the server's clock (learnt from the stream's response): the
// server refuses it after that, so a command held up on a stalled link is never carried out late,
// and the page, having had no answer by then, says so.

const TOKEN_KEY = "qb-timer.token";
const SILENCE_LIMIT_MS = 4000;
const RETRY_FIRST_MS = 500;
const RETRY_MAX_MS = 4000;
const COMMAND_DEADLINE_MS = 3000;
const ANSWER_GRACE_MS = 1000;

// The token given in the address's fragment ("viewer#token=..."), which no request carries.
export function fragmentToken() {
  return new URLSearchParams(window.location.hash.slice(1)).get("token");
}

// One "event:"/"data:" block of a Server-Sent Events stream; null for a comment.
export function parseEventBlock(block) {
  let kind = "message";
  const data = [];
  for (const line of block.split("\n")) {
    if (line.startsWith("event:")) kind = line.slice(6).trim();
    else if (line.startsWith("data:")) data.push(line.slice(5).replace(/^ /, ""));
  }
  return data.length > 0 ? { kind, data: JSON.parse(data.join("\n")) } : null;
}

export class Connection {
  // handlers: event(kind, data), online(), offline(retryMs), tokenNeeded(wasWrong).
  // token: the token to send, when the page has one of its own (the fragment's); otherwise the
  // one kept in this browser.
  constructor(handlers, token = null) {
    this.handlers = handlers;
    this.token = token;
    this.online = false;
    this.retryMs = RETRY_FIRST_MS;
    this.wakeUp = () => {};
    this.dropStream = () => {};
    this.tokenGiven = null;
    this.serverClockOffset = 0;
  }

  start() {
    window.addEventListener("online", () => this.wakeUp());
    document.addEventListener("visibilitychange", () => {
      if (document.visibilityState === "visible") this.wakeUp();
    });
    this.run();
  }

  // Keeps the token for this browser and tries it at once.
  useToken(token) {
    localStorage.setItem(TOKEN_KEY, token);
    this.tryAgain();
  }

  // After tokenNeeded: tries the stream again.
  tryAgain() {
    if (this.tokenGiven) this.tokenGiven();
  }

  // {ok, result} or {ok: false, message}. Nothing is sent while the page is offline.
  async send(name, params = {}) {
    if (!this.online) return { ok: false, message: "Not sent: the page is offline." };
    const deadline = Math.round(performance.now() + this.serverClockOffset + COMMAND_DEADLINE_MS);
    const abort = new AbortController();
    const giveUp = setTimeout(() => abort.abort(), COMMAND_DEADLINE_MS + ANSWER_GRACE_MS);
    try {
      const response = await fetch(`api/v1/commands/${encodeURIComponent(name)}`, {
        method: "POST",
        headers: {
          ...this.authorization(),
          "Content-Type": "application/json",
          "X-QB-Deadline": String(deadline),
        },
        body: JSON.stringify(params),
        cache: "no-store",
        signal: abort.signal,
      });
      if (response.status === 401) this.dropStream();
      const body = await response.json().catch(() => ({}));
      if (body.ok) return { ok: true, result: body.result };
      return { ok: false, message: body.error?.message ?? `the server answered ${response.status}` };
    } catch {
      this.dropStream();
      if (abort.signal.aborted) {
        const seconds = (COMMAND_DEADLINE_MS + ANSWER_GRACE_MS) / 1000;
        return {
          ok: false,
          message: `Not sent: the controller did not answer within ${seconds} s, and it will not carry "${name}" out later.`,
        };
      }
      return { ok: false, message: "Not sent: the server cannot be reached." };
    } finally {
      clearTimeout(giveUp);
    }
  }

  authorization() {
    const token = this.token ?? localStorage.getItem(TOKEN_KEY);
    return token ? { Authorization: `Bearer ${token}` } : {};
  }

  async run() {
    for (;;) {
      const outcome = await this.follow();
      this.goOffline();
      if (outcome === "unauthorized") {
        this.handlers.tokenNeeded(Object.keys(this.authorization()).length > 0);
        await new Promise((resolve) => (this.tokenGiven = resolve));
        this.tokenGiven = null;
        continue;
      }
      this.handlers.offline(this.retryMs);
      await this.pause(this.retryMs);
      this.retryMs = Math.min(this.retryMs * 2, RETRY_MAX_MS);
    }
  }

  // Reads the stream until it ends: "unauthorized", or "dropped" for any other end.
  async follow() {
    const abort = new AbortController();
    this.dropStream = () => abort.abort();
    let heard = Date.now();
    const watchdog = setInterval(() => {
      if (Date.now() - heard > SILENCE_LIMIT_MS) abort.abort();
    }, 250);
    try {
      const response = await fetch("api/v1/events", {
        headers: this.authorization(),
        cache: "no-store",
        signal: abort.signal,
      });
      if (response.status === 401) return "unauthorized";
      if (!response.ok || !response.body) return "dropped";
      const serverClock = Number(response.headers.get("X-QB-Clock"));
      if (serverClock > 0) this.serverClockOffset = serverClock - performance.now();
      const reader = response.body.pipeThrough(new TextDecoderStream()).getReader();
      let buffer = "";
      for (;;) {
        const { value, done } = await reader.read();
        if (done) return "dropped";
        heard = Date.now();
        buffer += value;
        let end;
        while ((end = buffer.indexOf("\n\n")) >= 0) {
          const event = parseEventBlock(buffer.slice(0, end));
          buffer = buffer.slice(end + 2);
          if (event) this.deliver(event);
        }
      }
    } catch {
      return "dropped";
    } finally {
      clearInterval(watchdog);
      this.dropStream = () => {};
    }
  }

  deliver(event) {
    if (event.kind === "state" && !this.online) {
      this.online = true;
      this.retryMs = RETRY_FIRST_MS;
      this.handlers.online();
    }
    this.handlers.event(event.kind, event.data);
  }

  goOffline() {
    this.online = false;
  }

  // Waits before the next attempt; cut short when the network or the page comes back.
  pause(ms) {
    return new Promise((resolve) => {
      const timer = setTimeout(resolve, ms);
      this.wakeUp = () => {
        clearTimeout(timer);
        resolve();
      };
    }).finally(() => (this.wakeUp = () => {}));
  }
}

// Keeps the screen on with the Screen Wake Lock where the browser offers it, again each time the
// page is shown.
export function keepScreenOn() {
  const ask = async () => {
    if (!navigator.wakeLock || document.visibilityState !== "visible") return;
    try {
      await navigator.wakeLock.request("screen");
    } catch {
      // Refused (a battery saver, say): the screen sleeps as usual.
    }
  };
  document.addEventListener("visibilitychange", ask);
  ask();
}
