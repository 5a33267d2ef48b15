// Two independent ONVIF clients from the npm registry ("onvif" and "node-onvif") against one decoder of
// tvwall-decoderd on loopback. Usage: node clients.js ADDRESS PORT USER PASSWORD
// Every call the decoder offers must answer; onvif's Cam.connect() must complete, with WS-Security and with
// HTTP Digest; a wrong password and a replayed token must be refused. Prints one line a check and exits 1
// when any failed.
'use strict';

const http = require('http');
const { Cam } = require('onvif');
const OnvifServiceDevice = require('node-onvif/lib/modules/service-device.js');
const soap = require('node-onvif/lib/modules/soap.js');

const [address, port, user, password] = process.argv.slice(2);
const xaddr = `http://${address}:${port}/onvif/device_service`;
let failures = 0;

function report(name, error) {
    if (error) {
        failures++;
        console.log(`FAIL ${name}: ${error.message || error}`);
    } else {
        console.log(`ok   ${name}`);
    }
}

/** Runs fn(callback) and reports it; the promise resolves whatever happened. */
function check(name, fn, expectFailure = false) {
    return new Promise((resolve) => {
        let done = false;
        const timer = setTimeout(() => finish(new Error('no answer within 10 s')), 10000);
        function finish(err) {
            if (done)
                return;
            done = true;
            clearTimeout(timer);
            if (expectFailure)
                report(name, err ? null : new Error('accepted, should have been refused'));
            else
                report(name, err);
            resolve();
        }
        try {
            fn((err) => finish(err));
        } catch (e) {
            finish(e);
        }
    });
}

function cam(options) {
    return new Cam(Object.assign({ hostname: address, port: Number(port), username: user, password,
                                   timeout: 5000, autoconnect: false }, options));
}

/** POSTs body to the device service; resolves with the status code and the text. */
function post(body, headers = {}) {
    return new Promise((resolve, reject) => {
        const req = http.request({ host: address, port: Number(port), path: '/onvif/device_service', method: 'POST',
                                   headers: Object.assign({ 'Content-Type': 'application/soap+xml; charset=utf-8',
                                                            'Content-Length': Buffer.byteLength(body) }, headers) },
                                 (res) => {
                                     let text = '';
                                     res.on('data', (d) => { text += d; });
                                     res.on('end', () => resolve({ status: res.statusCode, text }));
                                 });
        req.on('error', reject);
        req.end(body);
    });
}

async function onvifPackage(label, options) {
    const c = cam(options);
    await check(`${label}: Cam.connect()`, (cb) => c.connect((err) => cb(err)));
    const calls = ['getSystemDateAndTime', 'getCapabilities', 'getServices', 'getServiceCapabilities',
                   'getDeviceInformation', 'getScopes', 'getHostname', 'getNTP', 'getNetworkInterfaces',
                   'getNetworkProtocols', 'getDNS', 'getNetworkDefaultGateway', 'getUsers'];
    for (const call of calls) {
        if (call === 'getServices')
            await check(`${label}: ${call}`, (cb) => c.getServices(true, (err) => cb(err)));
        else
            await check(`${label}: ${call}`, (cb) => c[call]((err) => cb(err)));
    }
}

async function nodeOnvifPackage() {
    const device = new OnvifServiceDevice({ xaddr, user, pass: password });
    const label = 'node-onvif';
    const promised = (name, params) => (cb) => {
        const p = params === undefined ? device[name]() : device[name](params);
        p.then(() => cb(null), (err) => cb(err));
    };
    await check(`${label}: getSystemDateAndTime`, promised('getSystemDateAndTime'));
    for (const call of ['getCapabilities', 'getWsdlUrl', 'getDiscoveryMode', 'getScopes', 'getHostname', 'getDNS',
                        'getNetworkInterfaces', 'getNetworkProtocols', 'getNetworkDefaultGateway',
                        'getDeviceInformation', 'getUsers', 'getNTP', 'getServiceCapabilities'])
        await check(`${label}: ${call}`, promised(call));
    await check(`${label}: getServices`, promised('getServices', { IncludeCapability: true }));
    await check(`${label}: addScopes`, promised('addScopes', { Scopes: ['onvif://www.onvif.org/location/hall'] }));
    await check(`${label}: removeScopes`,
                promised('removeScopes', { Scopes: ['onvif://www.onvif.org/location/hall'] }));
    await check(`${label}: setScopes`, promised('setScopes', { Scopes: ['onvif://www.onvif.org/name/wall-a'] }));
    await check(`${label}: setScopes replaced the configurable scopes`, (cb) => {
        device.getScopes().then((r) => {
            const replaced = r.soap.includes('onvif://www.onvif.org/name/wall-a') &&
                             !r.soap.includes('onvif://www.onvif.org/location/unknown');
            cb(replaced ? null : new Error('the scopes were not replaced'));
        }, (err) => cb(err));
    });
    await check(`${label}: removing a fixed scope is refused`,
                promised('removeScopes', { Scopes: ['onvif://www.onvif.org/type/video_decoder'] }), true);
    await check(`${label}: setHostname`, promised('setHostname', { Name: 'decoder-a' }));
    await check(`${label}: setNTP`,
                promised('setNTP', { FromDHCP: false, NTPManual: { Type: 'IPv4', IPv4Address: '127.0.0.1' } }));
    await check(`${label}: setNetworkProtocols`,
                promised('setNetworkProtocols', { NetworkProtocols: [{ Name: 'HTTP', Enabled: true, Port: Number(port) }] }));
    await check(`${label}: createUsers`,
                promised('createUsers', { User: [{ Username: 'viewer', Password: 'Viewer@2024', UserLevel: 'User' }] }));
    await check(`${label}: setUser`,
                promised('setUser', { User: [{ Username: 'viewer', Password: 'Viewer@2025', UserLevel: 'Operator' }] }));
    await check(`${label}: deleteUsers`, promised('deleteUsers', { User: [{ Username: 'viewer' }] }));
    const now = new Date();
    await check(`${label}: setSystemDateAndTime`, promised('setSystemDateAndTime', {
        DateTimeType: 'Manual', DaylightSavings: false, TimeZone: 'UTC0',
        UTCDateTime: now }));
    const wrong = new OnvifServiceDevice({ xaddr, user, pass: 'not-the-password' });
    await check(`${label}: wrong password refused`, (cb) => {
        wrong.getUsers().then(() => cb(null), (err) => cb(err));
    }, true);
}

async function refusals() {
    // A captured UsernameToken sent twice: accepted once, refused the second time.
    const body = soap.createRequestSoap({ body: '<tds:GetUsers/>', user, pass: password, diff: 0,
                                          xmlns: ['xmlns:tds="http://www.onvif.org/ver10/device/wsdl"'] });
    await check('raw token: first use answers', async (cb) => {
        const r = await post(body);
        cb(r.status === 200 ? null : new Error(`status ${r.status}`));
    });
    await check('raw token: replay refused', async (cb) => {
        const r = await post(body);
        cb(r.status !== 200 && /used before/.test(r.text) ? null : new Error(`status ${r.status}`));
    });
    await check('onvif (Digest): wrong password refused', (cb) => {
        cam({ password: 'not-the-password', useWSSecurity: false }).getUsers((err) => cb(err ? null : new Error('accepted')));
    });
    await check('onvif (WS-Security): wrong password refused', (cb) => {
        cam({ password: 'not-the-password' }).getDeviceInformation((err) => cb(err ? null : new Error('accepted')));
    });
}

(async () => {
    await onvifPackage('onvif (WS-Security)', {});
    await onvifPackage('onvif (Digest)', { useWSSecurity: false });
    await nodeOnvifPackage();
    await refusals();
    // Last: the decoder restarts.
    // The package sends it to the device IO address GetServices named, as a connected Cam does.
    const rebooting = cam({});
    await check('onvif: systemReboot', (cb) => rebooting.connect((err) => err ? cb(err) : rebooting.systemReboot((e) => cb(e))));
    console.log(failures ? `${failures} failed` : 'all answered');
    process.exit(failures ? 1 : 0);
})();
