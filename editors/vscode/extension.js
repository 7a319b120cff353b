// Starts vorn-lsp for .vn files. Highlighting works without this file; the language features
// need the vscode-languageclient package (npm install in this folder).
const vscode = require("vscode");
const { LanguageClient } = require("vscode-languageclient/node");

let client;

function activate(context) {
    const command = vscode.workspace.getConfiguration("vorn").get("server.path", "vorn-lsp");
    client = new LanguageClient(
        "vorn",
        "vorn",
        { command, args: [] },
        { documentSelector: [{ scheme: "file", language: "vorn" }] }
    );
    context.subscriptions.push({ dispose: () => client && client.stop() });
    return client.start();
}

function deactivate() {
    return client ? client.stop() : undefined;
}

module.exports = { activate, deactivate };
