package com.velk.internet.tz.velkctl;

import java.io.IOException;
import java.net.InetAddress;
import java.net.ServerSocket;
import java.net.URI;
import java.net.URLEncoder;
import java.net.http.HttpClient;
import java.net.http.HttpRequest;
import java.net.http.HttpResponse;
import java.nio.ByteBuffer;
import java.nio.ByteOrder;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.HexFormat;
import java.util.List;
import java.util.concurrent.Callable;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import java.util.concurrent.TimeUnit;
import java.util.regex.Matcher;
import java.util.regex.Pattern;

/**
 * velkctl metrics and exporter, end to end: the scrape of scripted counters checked value by
 * value and by promtool; the exporter under 4 clients while velkctl changes the configuration;
 * its status page in headless Chromium; a Prometheus server scraping it every second while the
 * executor stops and comes back. Every process it starts is stopped whatever happens.
 * Arguments: WORK_DIR BUILD_DIR README SCREENSHOT.
 */
public final class ExporterCheck {
    /**
     * Scripted answer bytes and the sample each must give: command, offset, width, value,
     * sample. The values past 2^31 (and 2^63) catch counters read signed.
     */
    private static final String[][] SCRIPTED = {
        {"3", "128", "8", "1001", "velk_executor_received_packets_total"},
        {"3", "136", "8", "1002", "velk_executor_packets_total{outcome=\"too_short\"}"},
        {"3", "144", "8", "1003", "velk_executor_packets_total{outcome=\"not_forwarded\"}"},
        {"3", "152", "8", "1004", "velk_executor_packets_total{outcome=\"discarded\"}"},
        {"3", "160", "8", "1005", "velk_executor_packets_total{outcome=\"error\"}"},
        {"3", "168", "8", "1006", "velk_executor_packets_total{outcome=\"local\"}"},
        {"3", "176", "8", "1007", "velk_executor_packets_total{outcome=\"own_address\"}"},
        {"3", "184", "8", "9223372036854775824", "velk_executor_packets_total{outcome=\"forwarded\"}"},
        {"3", "192", "8", "1009", "velk_executor_packets_total{outcome=\"forward_error\"}"},
        {"3", "200", "8", "1010", "velk_executor_packets_total{outcome=\"not_for_executor\"}"},
        {"3", "208", "8", "18446744073709551615", "velk_executor_packets_total{outcome=\"broadcast\"}"},
        {"3", "216", "4", "4096", "velk_executor_connection_hash_buckets"},
        {"9", "28", "4", "2001", "velk_cluster_syns_on_active_total{cluster=\"mail\"}"},
        {"9", "32", "4", "2002", "velk_cluster_syns_on_finned_total{cluster=\"web\"}"},
        {"9", "36", "4", "3000000000", "velk_cluster_dropped_fins_total{cluster=\"mail\"}"},
        {"9", "40", "4", "2004", "velk_cluster_dropped_acks_total{cluster=\"web\"}"},
        {"9", "44", "4", "2005", "velk_cluster_dropped_rsts_total{cluster=\"web\"}"},
        {"9", "48", "4", "2006", "velk_cluster_dropped_packets_total{cluster=\"web\"}"},
        {"9", "52", "4", "2007", "velk_cluster_packets_no_connection_total{cluster=\"web\"}"},
        {"9", "56", "4", "2008", "velk_cluster_quiesced_new_total{cluster=\"web\"}"},
        {"15", "28", "4", "3001", "velk_port_active_connections{cluster=\"web\",port=\"443\"}"},
        {"15", "32", "4", "3002", "velk_port_half_open_connections{cluster=\"mail\",port=\"25\"}"},
        {"15", "52", "4", "3003", "velk_port_servers_local{cluster=\"web\",port=\"80\"}"},
        {"15", "64", "4", "4294967295", "velk_port_resets_sent_total{cluster=\"web\",port=\"80\"}"},
        {"33", "56", "4", "4001", "velk_server_connections_total{cluster=\"web\",port=\"80\",server=\"s2\"}"},
        {"33", "60", "4", "4002", "velk_server_tcp_connections_total{cluster=\"mail\",port=\"25\",server=\"mx1\"}"},
        {"33", "64", "4", "4003", "velk_server_udp_connections_total{cluster=\"web\",port=\"80\",server=\"s1\"}"},
        {"33", "68", "4", "4004", "velk_server_active_connections{cluster=\"web\",port=\"80\",server=\"s1\"}"},
        {"33", "72", "4", "4005", "velk_server_finished_connections{cluster=\"web\",port=\"80\",server=\"s1\"}"},
        {"33", "76", "4", "4006", "velk_server_complete_connections{cluster=\"web\",port=\"80\",server=\"s1\"}"},
        {"23", "60", "4", "5001", "velk_rule_fired_total{cluster=\"web\",port=\"80\",rule=\"clients\"}"},
        {"23", "28", "4", "5002", "velk_rule_active_connections{cluster=\"web\",port=\"80\",rule=\"clients\"}"},
        {"47", "24", "1", "2", "velk_ha_role"},
        {"47", "27", "1", "5", "velk_ha_state"},
        {"47", "28", "1", "6", "velk_ha_substate"},
        {"47", "34", "1", "7", "velk_ha_peer"},
        {"47", "50", "1", "3", "velk_ha_heartbeat_status{local=\"10.1.2.4\",remote=\"10.1.9.9\"}"},
    };

    /** Samples the model's own state gives, one object from the next by label. */
    private static final String[] MODELLED = {
        "velk_up 1",
        "velk_executor_clusters 2",
        "velk_cluster_info{cluster=\"web\",address=\"10.1.2.3\"} 1",
        "velk_cluster_info{cluster=\"mail\",address=\"10.0.2.20\"} 1",
        "velk_cluster_ports{cluster=\"web\"} 2",
        "velk_cluster_ports{cluster=\"mail\"} 1",
        "velk_port_servers{cluster=\"web\",port=\"80\"} 3",
        "velk_port_servers{cluster=\"web\",port=\"443\"} 0",
        "velk_port_connections_per_second{cluster=\"web\",port=\"443\"} 9",
        "velk_port_bytes_per_second{cluster=\"web\",port=\"443\"} 4608",
        "velk_server_weight{cluster=\"web\",port=\"80\",server=\"s1\"} 5",
        "velk_server_weight{cluster=\"web\",port=\"80\",server=\"s2\"} 7",
        "velk_server_weight{cluster=\"mail\",port=\"25\",server=\"mx1\"} 20",
        "velk_server_bytes_per_second{cluster=\"web\",port=\"80\",server=\"s2\"} 1536",
        "velk_server_quiesced{cluster=\"mail\",port=\"25\",server=\"mx1\"} 1",
        "velk_server_weight{cluster=\"web\",port=\"80\",server=\"<i>x&y\\\"\\\\</i>\"} 20",
        "velk_rule_servers{cluster=\"web\",port=\"80\",rule=\"clients\"} 2",
    };

    private static final String[] SETUP = {
        "cluster add web --address 10.1.2.3", "cluster add mail --address 10.0.2.20",
        "port add web 80", "port add web 443 --connections-per-second 9", "port add mail 25",
        "server add web 80 s1 --weight 5", "server add web 80 s2 --weight 7 "
            + "--connections-per-second 3", "server add mail 25 mx1 --quiesced 1",
        "rule add web 80 clients --rule-type 2 --begin-range 1 --end-range 9",
        "rule bind web 80 clients s1", "rule bind web 80 clients s2", "server add web 80 <i>x&y\"\\</i>",
        "ha add --role 1 --strategy 2 --port 4567", "ha add --heartbeat 10.1.2.4,10.1.9.9",
    };

    /**
     * A family as a scraper reads it: HELP, TYPE of the same name, then its own samples only
     * (promtool takes a sample away from its family's lines, and TYPE apart from HELP).
     */
    private static final Pattern FAMILY = Pattern.compile(
            "# HELP (\\w+) .*\n# TYPE \\1 \\w+\n(\\1(\\{.*\\})? [-0-9.eE+]+\n)*");
    private static final HttpClient HTTP = HttpClient.newHttpClient();
    private static Path build;
    private static Path work;

    private ExporterCheck() {
    }

    public static void main(String[] args) throws Exception {
        work = Path.of(args[0]);
        build = Path.of(args[1]);
        Files.createDirectories(Path.of(args[3]).getParent());
        Runtime.getRuntime().addShutdownHook(new Thread(ExporterCheck::stopAll));
        try {
            run(Files.readString(Path.of(args[2])), Path.of(args[3]));
            System.out.println("exporter checks passed");
        } catch (AssertionError | Exception e) {
            System.out.println("FAILED: " + e.getMessage());
            System.exit(1); // the hook stops what was started, here as on success
        }
    }

    private static void run(String readme, Path screenshot) throws Exception {
        Arrays.stream(SETUP).forEach(ExporterCheck::velkctl);
        for (String cmd : new String[] {"3", "9", "15", "23", "33", "47"}) {
            StringBuilder line = new StringBuilder("SCRIPT CMD " + cmd + " MODEL");
            for (String[] r : SCRIPTED) {
                if (r[0].equals(cmd)) { // each counter little-endian at its offset and width
                    byte[] b = ByteBuffer.allocate(8).order(ByteOrder.LITTLE_ENDIAN)
                            .putLong(Long.parseUnsignedLong(r[3])).array();
                    line.append(" PUT ").append(r[1]).append(' ').append(HexFormat.of()
                            .formatHex(b, 0, Integer.parseInt(r[2])));
                }
            }
            Rig.SIM.command(line.toString());
        }
        String scrape = velkctl("metrics");
        Arrays.stream(SCRIPTED).forEach(r -> expect(scrape, r[4] + " " + r[3]));
        Arrays.stream(MODELLED).forEach(line -> expect(scrape, line));
        exec(scrape, "promtool", "check", "metrics");
        for (Matcher m = Pattern.compile("(?m)^# TYPE (\\S+)").matcher(scrape); m.find(); ) {
            check(readme.contains("`" + m.group(1) + "`"), "README's table lacks " + m.group(1));
        }
        System.out.println("metrics: every sample as expected; promtool agrees; README names every family");

        Path exporterLog = work.resolve("exporter.err");
        Process exporter = process(exporterLog, build.resolve("bin/velkctl").toString(),
                "exporter", "--listen", "127.0.0.1:0").start();
        String base = waitFor(() -> {
            Matcher m = Pattern.compile("serving (http://\\S+)/metrics").matcher(
                    Files.readString(exporterLog));
            return m.find() ? m.group(1) : null;
        }, "the exporter");
        check(get(base + "/metrics").statusCode() == 200, "/metrics");
        check(get(base + "/nothing").statusCode() == 404, "a path that is not served");
        check(HTTP.send(HttpRequest.newBuilder(URI.create(base + "/metrics"))
                .POST(HttpRequest.BodyPublishers.noBody()).build(),
                HttpResponse.BodyHandlers.ofString()).statusCode() == 405, "POST");
        browser(base, screenshot);
        concurrent(base);

        int promPort;
        try (ServerSocket s = new ServerSocket(0, 1, InetAddress.getLoopbackAddress())) {
            promPort = s.getLocalPort(); // free now; Prometheus takes it a moment later
        }
        Path config = work.resolve("prometheus.yml");
        Files.writeString(config, "global: {scrape_interval: 1s, evaluation_interval: 1s}\n"
                + "scrape_configs:\n  - job_name: velk\n    static_configs:\n"
                + "      - targets: ['" + base.substring("http://".length()) + "']\n");
        process(work.resolve("prometheus.log"), "prometheus", "--config.file=" + config,
                "--storage.tsdb.path=" + work.resolve("tsdb"),
                "--web.listen-address=127.0.0.1:" + promPort).start();
        String prom = "http://127.0.0.1:" + promPort + "/api/v1/query?query=";
        String forwarded = prom + URLEncoder.encode(
                "velk_executor_packets_total{outcome=\"forwarded\"}", StandardCharsets.UTF_8);
        String answer = waitFor(() -> value(get(forwarded).body()) == null ? null
                : get(forwarded).body(), "the forwarded counter in Prometheus");
        check(answer.contains("\"job\":\"velk\"") && answer.contains("\"outcome\":"
                + "\"forwarded\"") && Double.parseDouble(value(answer)) == 0x1.0p63 + 16,
                "the forwarded counter in Prometheus: " + answer);
        Callable<String> up = () -> value(get(prom + "velk_up").body());
        waitFor(() -> "1".equals(up.call()) ? "" : null, "velk_up 1");
        Rig.SIM.command("STOP");
        waitFor(() -> "0".equals(up.call()) ? "" : null, "velk_up 0 after the executor stopped");
        expect(velkctl("metrics"), "velk_up 0");
        process(work.resolve("executor2.log"), build.resolve("bin/velklb-executor").toString(),
                "--socket", System.getenv("VELKLB_DEVICE")).start();
        waitFor(() -> "1".equals(up.call()) ? "" : null, "velk_up 1 after the executor came back");
        System.out.println("prometheus: the scripted counter arrived with its labels; velk_up went 1, 0, 1");

        exporter.destroy();
        check(exporter.waitFor(30, TimeUnit.SECONDS), "the exporter did not stop on SIGTERM");
        String log = Files.readString(exporterLog);
        check(log.matches("(?s).*serving.*executor answers.*executor does not answer.*"
                + "executor answers.*stopped\n"), "the exporter's log:\n" + log);
        System.out.println("exporter: logged its start, each executor state change, its stop");
    }

    /** The page in headless Chromium: every object of the state, escaped text, a screenshot. */
    private static void browser(String base, Path screenshot) throws Exception {
        String[] chromium = {"chromium", "--headless", "--no-sandbox", "--disable-gpu", "--window-size=1100,900",
            "--user-data-dir=" + work.resolve("chromium"), "--dump-dom", base + "/?refresh=5"};
        String dom = exec(null, chromium);
        for (String text : new String[] {"data-cluster=\"web\"", "data-cluster=\"mail\"",
            "data-port=\"web:80\"", "data-port=\"web:443\"", "data-port=\"mail:25\"",
            "data-server=\"web:80:s1\"", "data-server=\"web:80:s2\"", "data-server=\"mail:25:mx1\"",
            "<td>&lt;i&gt;x&amp;y\"\\&lt;/i&gt;</td>", "<td class=\"state\">quiesced</td>",
            "rule clients fired 5001", "<meta http-equiv=\"refresh\" content=\"5\">"}) {
            check(dom.contains(text), "the rendered page lacks " + text);
        }
        check(!dom.contains("<i>x"), "executor text reached the page as markup");
        chromium[6] = "--screenshot=" + screenshot;
        chromium[7] = base + "/";
        exec(null, chromium);
        check(Files.size(screenshot) > 1000, "no screenshot");
        System.out.println("browser: every cluster, port and server on the page; screenshot in " + screenshot);
    }

    /** 4 clients × 100 scrapes while velkctl adds and removes a cluster with a port and server. */
    private static void concurrent(String base) throws Exception {
        ExecutorService clients = Executors.newFixedThreadPool(4);
        List<Future<?>> results = new ArrayList<>();
        for (int c = 0; c < 4; c++) {
            results.add(clients.submit(() -> {
                for (int i = 0; i < 100; i++) {
                    String body = get(base + "/metrics").body();
                    String[] families = body.split("(?m)(?=^# HELP )");
                    check(body.startsWith("# HELP velk_up ") && body.contains("\nvelk_up 1\n")
                            && Arrays.stream(families).allMatch(f -> FAMILY.matcher(f).matches())
                            && Arrays.stream(families).map(f -> f.split(" ")[2]).distinct().count()
                                    == families.length, "a scrape:\n" + body);
                    if (i % 25 == 0) {
                        exec(body, "promtool", "check", "metrics");
                    }
                }
                return null;
            }));
        }
        int changes = 0;
        for (; !results.stream().allMatch(Future::isDone); changes++) {
            List.of("cluster add churn --address 10.9.9.9", "port add churn 8080",
                    "server add churn 8080 c1", "cluster remove churn")
                    .forEach(ExporterCheck::velkctl);
        }
        clients.shutdown();
        for (Future<?> f : results) {
            f.get(); // a client's failed scrape fails the check
        }
        System.out.println("concurrency: 400 valid scrapes from 4 clients during " + changes + " rounds of changes");
    }

    // ---- processes and requests -------------------------------------------------------------

    private static String velkctl(String line) {
        Rig.Run run = Rig.velkctl(line);
        check(run.status() == 0, "velkctl " + line + ": " + run.err());
        return run.out();
    }

    /** Runs a command to its end (a minute at most) with this input; its standard output. */
    private static String exec(String input, String... command) throws Exception {
        Path err = Files.createTempFile(work, "exec", ".err");
        Process p = process(err, command).redirectOutput(ProcessBuilder.Redirect.PIPE).start();
        p.getOutputStream().write((input == null ? "" : input).getBytes(StandardCharsets.UTF_8));
        p.getOutputStream().close();
        String out = new String(p.getInputStream().readAllBytes(), StandardCharsets.UTF_8);
        check(p.waitFor(60, TimeUnit.SECONDS) && p.exitValue() == 0, String.join(" ", command)
                + ": " + out + Files.readString(err));
        return out;
    }

    /** A command with its errors to this file and its output discarded; velkctl under checks. */
    private static ProcessBuilder process(Path log, String... command) {
        ProcessBuilder b = new ProcessBuilder(command).redirectError(log.toFile())
                .redirectOutput(ProcessBuilder.Redirect.DISCARD);
        b.environment().put("VELKCTL_JAVA_OPTS", "-Xcheck:jni");
        return b;
    }

    /** Stops every process this check started, and what they started, at once, and waits for them. */
    private static void stopAll() {
        List<ProcessHandle> started = ProcessHandle.current().descendants().toList();
        started.forEach(ProcessHandle::destroyForcibly);
        started.forEach(p -> p.onExit().join());
    }

    private static HttpResponse<String> get(String url) throws IOException, InterruptedException {
        return HTTP.send(HttpRequest.newBuilder(URI.create(url)).build(),
                HttpResponse.BodyHandlers.ofString());
    }

    /** The value of a one-sample answer of Prometheus's query API, or null. */
    private static String value(String answer) {
        Matcher m = Pattern.compile("\"value\":\\[[^,]+,\"([^\"]+)\"\\]").matcher(answer);
        return m.find() ? m.group(1) : null;
    }

    /** Polls until the probe gives something (a failed probe gives nothing), a minute at most. */
    private static String waitFor(Callable<String> probe, String what) throws Exception {
        for (long end = System.nanoTime() + TimeUnit.SECONDS.toNanos(60); System.nanoTime() < end;
                Thread.sleep(200)) {
            try {
                String found = probe.call();
                if (found != null) {
                    return found;
                }
            } catch (IOException e) {
                continue; // Prometheus not listening yet
            }
        }
        throw new AssertionError("no " + what + " within a minute");
    }

    private static void expect(String scrape, String line) {
        String family = line.split("[{ ]")[0] + "{";
        check(("\n" + scrape).contains("\n" + line + "\n"), "no line: " + line + "; but:\n"
                + scrape.lines().filter(l -> l.startsWith(family)).reduce("", String::concat));
    }

    private static void check(boolean ok, String what) {
        if (!ok) {
            throw new AssertionError(what);
        }
    }
}
