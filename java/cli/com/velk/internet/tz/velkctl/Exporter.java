package com.velk.internet.tz.velkctl;

import com.sun.net.httpserver.HttpExchange;
import com.sun.net.httpserver.HttpServer;
import com.velk.internet.tz.common.CMNExecutorInterface;
import java.io.IOException;
import java.io.OutputStream;
import java.net.InetAddress;
import java.net.InetSocketAddress;
import java.nio.charset.StandardCharsets;
import java.util.concurrent.CountDownLatch;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import picocli.CommandLine.ITypeConverter;
import picocli.CommandLine.TypeConversionException;

/**
 * velkctl exporter: the scrape at /metrics and the status page at / over the JDK's own HTTP
 * server, GET only. One scrape at a time: a scrape is a run of library calls that must see one
 * executor state, and the library serves one call at a time anyway, so concurrent requests wait
 * for the scrape before them. Runs until the JVM is asked to stop (SIGTERM).
 */
final class Exporter {
    static final String DEFAULT_LISTEN = "127.0.0.1:9478";
    private static final int THREADS = 4;
    private static final Object TURN = new Object();
    /** Whether the executor answered the last scrape; null before the first. */
    private static Boolean lastUp;

    private Exporter() {
    }

    static void serve(CMNExecutorInterface api, InetSocketAddress where) throws Api.Failure {
        HttpServer server;
        try {
            server = HttpServer.create(where, 64);
        } catch (IOException e) {
            throw Api.badUsage("--listen " + where + ": " + e.getMessage());
        }
        ExecutorService threads = Executors.newFixedThreadPool(THREADS);
        server.setExecutor(threads);
        server.createContext("/", exchange -> answer(api, exchange));
        server.start();
        InetSocketAddress bound = server.getAddress();
        String base = "http://" + bound.getAddress().getHostAddress() + ":" + bound.getPort();
        log("serving " + base + "/metrics and the status page at " + base + "/");
        CountDownLatch stopped = new CountDownLatch(1);
        Runtime.getRuntime().addShutdownHook(new Thread(() -> {
            server.stop(0);
            threads.shutdownNow();
            log("stopped");
            stopped.countDown();
        }));
        try {
            stopped.await();
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
        }
    }

    /** ADDRESS:PORT, the address a name or a literal ([...] for IPv6). */
    static final class Listen implements ITypeConverter<InetSocketAddress> {
        @Override
        public InetSocketAddress convert(String text) {
            int colon = text.lastIndexOf(':');
            try {
                int port = Integer.parseInt(text.substring(colon + 1));
                if (colon <= 0 || port < 0 || port > 65535) {
                    throw new NumberFormatException();
                }
                return new InetSocketAddress(InetAddress.getByName(
                        text.substring(0, colon).replaceAll("^\\[|\\]$", "")), port);
            } catch (NumberFormatException | IOException e) {
                throw new TypeConversionException("ADDRESS:PORT expected: " + text);
            }
        }
    }

    private static void answer(CMNExecutorInterface api, HttpExchange exchange)
            throws IOException {
        try (exchange) {
            String path = exchange.getRequestURI().getPath();
            if (!"GET".equals(exchange.getRequestMethod())) {
                exchange.getResponseHeaders().set("Allow", "GET");
                send(exchange, 405, "text/plain; charset=utf-8", "GET only\n");
            } else if (path.equals("/metrics")) {
                send(exchange, 200, Metrics.CONTENT_TYPE, Metrics.render(observed(api)));
            } else if (path.equals("/")) {
                send(exchange, 200, "text/html; charset=utf-8",
                        StatusPage.render(observed(api), exchange.getRequestURI().getQuery()));
            } else {
                send(exchange, 404, "text/plain; charset=utf-8", "not found: /metrics or /\n");
            }
        }
    }

    /** A scrape after any other one has finished, logging when the executor starts or stops answering. */
    private static Scrape observed(CMNExecutorInterface api) {
        synchronized (TURN) {
            Scrape s = Scrape.take(api);
            if (lastUp == null || lastUp != s.up()) {
                log(s.up() ? "the executor answers" : "the executor does not answer");
                lastUp = s.up();
            }
            return s;
        }
    }

    private static void send(HttpExchange exchange, int status, String type, String body)
            throws IOException {
        byte[] bytes = body.getBytes(StandardCharsets.UTF_8);
        exchange.getResponseHeaders().set("Content-Type", type);
        exchange.sendResponseHeaders(status, bytes.length);
        try (OutputStream out = exchange.getResponseBody()) {
            out.write(bytes);
        }
    }

    private static void log(String line) {
        System.err.println("velkctl exporter: " + line);
    }
}
