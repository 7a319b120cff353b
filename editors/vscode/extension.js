// Starts vorn-lsp for .vn files. Highlighting works without this file; the language features
// need the vscode-languageclient package (npm install in this folder).
const vscode = require("vscode");
const { LanguageClient } = require("vscode-languageclient/node");

let client;

function activate(context) {
    const settings = vscode.workspace.getConfiguration("vorn");
    const command = settings.get("server.path", "vorn-lsp");
    client = new LanguageClient(
        "vorn",
        "vorn",
        { command, args: [] },
        {
            documentSelector: [{ scheme: "file", language: "vorn" }],
            initializationOptions: { includeDirs: settings.get("includeDirs", []), tabSize: settings.get("tabSize", 8) },
        }
    );
    context.subscriptions.push({ dispose: () => client && client.stop() });
    return client.start();
}

function deactivate() {
    return client ? client.stop() : undefined;
}

module.exports = { activate, deactivate };
