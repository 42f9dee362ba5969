vertex V { void main() { } }
fragment F { out vec4 c; void main() { c = vec4(1.0); } }
technique T { pass P { VertexShader = V; PixelShader = F; ZFunc = Less; } }
