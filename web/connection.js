// The server's API as the page uses it: commands, the live stream of changes and the token.
// Every request goes to the server that served the page, by relative address.
//
// The stream is read with fetch() rather than EventSource, which cannot send the token. A stream
// that ends, fails or stays silent past the server's keep-alive is dropped and opened again with
// a growing pause; its first event is always the whole state.

const TOKEN_KEY = "qb-timer.token";
const SILENCE_LIMIT_MS = 40000; // the server says something at least every 15 s
const RETRY_FIRST_MS = 500;
const RETRY_MAX_MS = 4000;

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
  // handlers: event(kind, data), online(), offline(retryMs), tokenNeeded(wasWrong)
  constructor(handlers) {
    this.handlers = handlers;
    this.online = false;
    this.retryMs = RETRY_FIRST_MS;
    this.wakeUp = () => {};
    this.dropStream = () => {};
    this.tokenGiven = null;
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
    if (this.tokenGiven) this.tokenGiven();
  }

  // {ok, result} or {ok: false, message}. Nothing is sent while the page is offline.
  async send(name, params = {}) {
    if (!this.online) return { ok: false, message: "offline: nothing was sent" };
    let response;
    try {
      response = await fetch(`api/v1/commands/${encodeURIComponent(name)}`, {
        method: "POST",
        headers: { ...this.authorization(), "Content-Type": "application/json" },
        body: JSON.stringify(params),
        cache: "no-store",
      });
    } catch {
      this.dropStream();
      return { ok: false, message: "the server cannot be reached: nothing was sent" };
    }
    if (response.status === 401) this.dropStream();
    const body = await response.json().catch(() => ({}));
    if (body.ok) return { ok: true, result: body.result };
    return { ok: false, message: body.error?.message ?? `the server answered ${response.status}` };
  }

  authorization() {
    const token = localStorage.getItem(TOKEN_KEY);
    return token ? { Authorization: `Bearer ${token}` } : {};
  }

  async run() {
    for (;;) {
      const outcome = await this.follow();
      this.goOffline();
      if (outcome === "unauthorized") {
        this.handlers.tokenNeeded(localStorage.getItem(TOKEN_KEY) !== null);
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
    }, 5000);
    try {
      const response = await fetch("api/v1/events", {
        headers: this.authorization(),
        cache: "no-store",
        signal: abort.signal,
      });
      if (response.status === 401) return "unauthorized";
      if (!response.ok || !response.body) return "dropped";
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
